'use strict';

const crypto = require('node:crypto');
const { findAccount } = require('./accounts');
const { sendJson, invalid, isObject, parseObject, problemWith } = require('./http');
const { pushNotification, pushEvent, unknownAccount } = require('./socket-control');

// The one tournament every simulated match belongs to; its id is the room
// that "subscribe:tournament" joins for match updates.
const TOURNAMENT = Object.freeze({ id: 't-demo-cup', name: 'Corvanta Demo Cup', participantCount: 8, type: 'SINGLE_ELIMINATION' });
const OTHER_SIDE = { Radiant: 'Dire', Dire: 'Radiant' };
const TEAMMATES = ['u-2001', 'u-2002', 'u-2003', 'u-2004'];
const OPPONENTS = ['u-3001', 'u-3002', 'u-3003', 'u-3004', 'u-3005'];

const randomId = (prefix) => `${prefix}-${crypto.randomBytes(4).toString('hex')}`;
const isFilledString = (v) => typeof v === 'string' && v !== '';
// Finite, and close enough to now to give a real date (toISOString throws otherwise).
const isOffset = (v) => Number.isFinite(v) && Number.isFinite(new Date(Date.now() + v * 1000).getTime());

const MATCH_FIELDS = {
  email: (v) => typeof v === 'string',
  side: (v) => v === 'Radiant' || v === 'Dire',
  captain: (v) => typeof v === 'boolean',
  startsInSeconds: isOffset,
  announce: (v) => v === 'socket' || v === 'dashboard' || v === 'none',
  matchId: isFilledString,
};

const SLOT_FIELDS = {
  userId: isFilledString,
  team: isFilledString,
  slotNumber: Number.isInteger,
};

// What the platform pushes for a match, over the socket and in notifications.
function matchPayload(account, { side, captain, startsInSeconds, matchId }) {
  return {
    tournamentId: TOURNAMENT.id,
    matchId,
    matchGameId: randomId('g'),
    gameNumber: 1,
    scheduledTime: new Date(Date.now() + startsInSeconds * 1000).toISOString(),
    startedAt: null,
    lobbyId: randomId('lobby'),
    isCompetition: false,
    occupiedSlots: [],
    tournament: { ...TOURNAMENT },
    match: { round: '2', bracket: 'WB' },
    participant1: { userIds: [account.id, ...TEAMMATES], captainUserIds: [captain ? account.id : TEAMMATES[0]], name: 'Team Demo', avatar: '' },
    participant2: { userIds: [...OPPONENTS], captainUserIds: [OPPONENTS[0]], name: 'Night Owls', avatar: '' },
    participant1Side: side,
    participant2Side: OTHER_SIDE[side],
  };
}

// The match as the live-game endpoint shows it to the account playing it.
function liveGameOf({ payload, side, captain }) {
  return {
    matchId: payload.matchId,
    id: payload.matchGameId,
    scheduledTime: payload.scheduledTime,
    startedAt: payload.startedAt,
    tournament: payload.tournament,
    userSide: side,
    isCaptain: captain,
    occupiedSlots: payload.occupiedSlots,
    gameNumber: payload.gameNumber,
    lobbyId: payload.lobbyId,
    isCompetition: payload.isCompetition,
    match: payload.match,
    opponent: { name: payload.participant2.name, avatar: payload.participant2.avatar },
  };
}

// Every other account, and everyone while no match is on, sees the global
// live game set through /__control/live-game.
function liveGameFor(state, account) {
  return state.match?.account.id === account.id ? liveGameOf(state.match) : state.liveGame;
}

const notifyPlayer = (state, realtime, fields) => pushNotification(state, realtime, [state.match.account], { ...fields, metadata: state.match.payload });
const updateRoom = (state, realtime) => pushEvent(realtime, { tournamentId: TOURNAMENT.id }, 'match:updated', state.match.payload);

function createMatch(req, res, state, body, realtime) {
  const request = parseObject(body);
  if (!request) return invalid(res);
  const problem = problemWith(request, MATCH_FIELDS, ['email']);
  if (problem) return invalid(res, problem);
  const account = findAccount(request.email);
  if (!account) return unknownAccount(res);

  const settings = { side: 'Radiant', captain: false, startsInSeconds: 150, announce: 'socket', matchId: randomId('m'), ...request };
  const { side, captain, announce } = settings;
  state.match = { account, side, captain, announce, payload: matchPayload(account, settings) };

  let delivered = 0;
  if (announce === 'socket') {
    delivered = notifyPlayer(state, realtime, { type: 'LOBBY_READY', title: 'Lobby ready', message: 'Your match lobby is open. Join now!' });
    updateRoom(state, realtime);
  } else if (announce === 'dashboard') {
    state.dashboard.queue(account, 'match:ready', [{
      matchId: settings.matchId, lobbyName: TOURNAMENT.name, playerSide: side, slotNumber: -1, isCaptain: captain, isJoinedLobby: false,
    }]);
  }
  return sendJson(res, 200, { ok: true, userId: account.id, match: state.match.payload, delivered });
}

function showMatch(req, res, state) {
  const { match } = state;
  sendJson(res, 200, { match: match?.payload ?? null, email: match?.account.email ?? null, userId: match?.account.id ?? null });
}

// Operations on the current match answer 409 while there is none, whatever
// their body.
function withMatch(handler) {
  return (req, res, state, body, realtime) => {
    if (!state.match) return sendJson(res, 409, { message: 'No match' });
    return handler(req, res, state, body, realtime);
  };
}

function slotsProblem(slots) {
  if (!Array.isArray(slots)) return 'Invalid request body';
  for (const [index, slot] of slots.entries()) {
    if (!isObject(slot)) return `Invalid slot at index ${index}`;
    const problem = problemWith(slot, SLOT_FIELDS, Object.keys(SLOT_FIELDS));
    if (problem) return `${problem} at index ${index}`;
  }
  return null;
}

const sameSlot = (a, b) => a?.team === b?.team && a?.slotNumber === b?.slotNumber;

function setOccupiedSlots(req, res, state, body, realtime) {
  let slots;
  try {
    slots = JSON.parse(body);
  } catch {
    return invalid(res);
  }
  const problem = slotsProblem(slots);
  if (problem) return invalid(res, problem);

  const { account, announce, payload } = state.match;
  const own = (list) => list.find((slot) => slot.userId === account.id);
  const before = own(payload.occupiedSlots);
  payload.occupiedSlots = slots;
  const after = own(slots);
  // The dashboard reports where the player now sits, 0-based within the side;
  // leaving a slot is not reported.
  if (announce === 'dashboard' && after && !sameSlot(before, after)) {
    state.dashboard.queue(account, 'overlay:slotOccupied', [after.team, after.slotNumber - 1]);
  }
  return sendJson(res, 200, { ok: true, delivered: updateRoom(state, realtime) });
}

function startMatch(req, res, state, body, realtime) {
  state.match.payload.startedAt = new Date().toISOString();
  sendJson(res, 200, { ok: true, delivered: updateRoom(state, realtime) });
}

function completeMatch(req, res, state, body, realtime) {
  const delivered = notifyPlayer(state, realtime, { type: 'GAME_COMPLETED', title: 'Match completed', message: 'Good game! The result is recorded.' });
  state.match = null;
  sendJson(res, 200, { ok: true, delivered });
}

const MATCH_ROUTES = {
  '/__control/match': { GET: showMatch, POST: createMatch },
  '/__control/match/occupied-slots': { PUT: withMatch(setOccupiedSlots) },
  '/__control/match/start': { POST: withMatch(startMatch) },
  '/__control/match/complete': { POST: withMatch(completeMatch) },
};

module.exports = { MATCH_ROUTES, liveGameFor };
