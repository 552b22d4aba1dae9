'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');
const { connect, parseEvent, subscribe, sendMarker, framesBeforeMarker } = require('../test-support/link');

const PLAYER = 'player@corvanta.test';
const CAPTAIN = 'captain@corvanta.test';
const TOURNAMENT = 't-demo-cup';
// Socket checks wait for frames; should one never come, the test must fail
// rather than hang the run.
const BOUNDED = { timeout: 5000 };

const liveGame = async (sim, email) =>
  (await call(sim, 'GET', '/api/launcher/live-game', { token: await tokenFor(sim, email) })).json().liveGame;
const dashboardMessages = async (sim, email, after = 0) =>
  (await call(sim, 'GET', `/dashboard/messages?token=${await tokenFor(sim, email)}&after=${after}`)).json().messages;
const seat = (userId, team, slotNumber) => ({ userId, team, slotNumber });

async function assertNothingMore(sim, ...links) {
  await sendMarker(sim);
  for (const link of links) assert.deepEqual(await framesBeforeMarker(link), []);
}

// scheduledTime is an exact ISO 8601 UTC time, startsInSeconds after the request.
function assertStartsIn(match, seconds, before, after) {
  const time = Date.parse(match.scheduledTime);
  assert.equal(new Date(time).toISOString(), match.scheduledTime);
  assert.ok(time >= before + seconds * 1000 && time <= after + seconds * 1000, match.scheduledTime);
}

test('a match announced over the socket reaches the player, the tournament room and the player\'s live game', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const player = await connect(t, sim, PLAYER);
  const watcher = await connect(t, sim, CAPTAIN);
  await subscribe(watcher, TOURNAMENT);
  await control(sim, 'PUT', 'live-game', { matchId: 'm-global' });

  const before = Date.now();
  const answer = await control(sim, 'POST', 'match', { email: PLAYER, side: 'Dire', captain: true });
  const { match } = answer;
  assert.deepEqual(answer, { ok: true, userId: 'u-1001', match, delivered: 1 });
  assertStartsIn(match, 150, before, Date.now());
  assert.deepEqual([match.participant1.userIds, match.participant1.captainUserIds, match.participant1Side, match.participant2Side],
    [['u-1001', 'u-2001', 'u-2002', 'u-2003', 'u-2004'], ['u-1001'], 'Dire', 'Radiant']);

  const [event, { notification, unreadCount }] = parseEvent(await player.next());
  assert.deepEqual([event, unreadCount], ['notification:new', 2]);
  const { id, createdAt } = notification;
  assert.deepEqual(notification, { id, read: false, createdAt, type: 'LOBBY_READY', title: 'Lobby ready', message: 'Your match lobby is open. Join now!', metadata: match });
  assert.deepEqual(parseEvent(await watcher.next()), ['match:updated', match]);
  // The player is not in the room, and the captain gets no notification.
  await assertNothingMore(sim, player, watcher);

  assert.deepEqual(await liveGame(sim, PLAYER), {
    matchId: match.matchId, id: match.matchGameId, scheduledTime: match.scheduledTime, startedAt: null,
    tournament: { id: TOURNAMENT, name: 'Corvanta Demo Cup', participantCount: 8, type: 'SINGLE_ELIMINATION' },
    userSide: 'Dire', isCaptain: true, occupiedSlots: [], gameNumber: 1, lobbyId: match.lobbyId, isCompetition: false,
    match: { round: '2', bracket: 'WB' }, opponent: { name: 'Night Owls', avatar: '' },
  });
  assert.deepEqual(await liveGame(sim, CAPTAIN), { matchId: 'm-global' });
});

test('occupied slots and the start reach the room and the live game; completing pushes GAME_COMPLETED and ends the match', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const player = await connect(t, sim, PLAYER);
  const watcher = await connect(t, sim, CAPTAIN);
  await subscribe(watcher, TOURNAMENT);
  await control(sim, 'PUT', 'live-game', { matchId: 'm-global' });
  const before = Date.now();
  const { match } = await control(sim, 'POST', 'match', { email: PLAYER, side: 'Radiant', captain: false, startsInSeconds: -30, announce: 'none' });
  assertStartsIn(match, -30, before, Date.now());
  assert.deepEqual([match.participant1.captainUserIds, match.participant1Side], [['u-2001'], 'Radiant']);
  const { userSide, isCaptain } = await liveGame(sim, PLAYER);
  assert.deepEqual([userSide, isCaptain], ['Radiant', false]);

  const updates = [
    ['PUT', 'match/occupied-slots', [seat('u-1001', 'Radiant', 1), seat('u-3001', 'Dire', 2)], 'occupiedSlots'],
    ['PUT', 'match/occupied-slots', [seat('u-2001', 'Radiant', 3)], 'occupiedSlots'],
    ['POST', 'match/start', undefined, 'startedAt'],
  ];
  const started = new Date().toISOString();
  for (const [method, path, body, field] of updates) {
    assert.deepEqual((await call(sim, method, `/__control/${path}`, { body })).json(), { ok: true, delivered: 1 }, path);
    const [event, payload] = parseEvent(await watcher.next());
    assert.equal(event, 'match:updated', path);
    match[field] = field === 'startedAt' ? payload.startedAt : body;
    assert.deepEqual(payload, match, path);
    assert.deepEqual((await liveGame(sim, PLAYER))[field], match[field], path);
  }
  assert.ok(match.startedAt >= started && match.startedAt <= new Date().toISOString(), match.startedAt);

  assert.deepEqual(await control(sim, 'POST', 'match/complete'), { ok: true, delivered: 1 });
  const [event, { notification: { type, title, message, metadata } }] = parseEvent(await player.next());
  assert.deepEqual([event, type, title, message], ['notification:new', 'GAME_COMPLETED', 'Match completed', 'Good game! The result is recorded.']);
  assert.deepEqual(metadata, match);
  assert.deepEqual(await liveGame(sim, PLAYER), { matchId: 'm-global' });
  assert.equal((await call(sim, 'POST', '/__control/match/start')).status, 409);
  // Only a match played through the dashboard reports seats there.
  assert.deepEqual(await dashboardMessages(sim, PLAYER), []);
});

test('a match played through the dashboard queues match:ready and each new seat of the player, 0-based', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const player = await connect(t, sim, PLAYER);
  const watcher = await connect(t, sim, CAPTAIN);
  await subscribe(watcher, TOURNAMENT);

  assert.equal((await control(sim, 'POST', 'match', { email: PLAYER, announce: 'dashboard', side: 'Dire', captain: true, matchId: 'm-dash' })).delivered, 0);
  await assertNothingMore(sim, player, watcher);
  const ready = { matchId: 'm-dash', lobbyName: 'Corvanta Demo Cup', playerSide: 'Dire', slotNumber: -1, isCaptain: true, isJoinedLobby: false };
  assert.deepEqual(await dashboardMessages(sim, PLAYER), [{ seq: 1, channel: 'match:ready', args: [ready] }]);

  const own = (team, slotNumber) => seat('u-1001', team, slotNumber);
  const other = seat('u-3001', 'Radiant', 1);
  const steps = [
    ['someone else sits down', [other], null],
    ['the player sits down', [other, own('Dire', 3)], ['Dire', 2]],
    ['the others change around the player', [own('Dire', 3)], null],
    ['the player moves', [own('Dire', 5), other], ['Dire', 4]],
    ['the player leaves', [other], null],
    ['the player comes back on the other side', [own('Radiant', 1)], ['Radiant', 0]],
  ];
  let seen = 1;
  for (const [name, slots, args] of steps) {
    assert.deepEqual(await control(sim, 'PUT', 'match/occupied-slots', slots), { ok: true, delivered: 1 }, name);
    const expected = args ? [{ seq: seen + 1, channel: 'overlay:slotOccupied', args }] : [];
    assert.deepEqual(await dashboardMessages(sim, PLAYER, seen), expected, name);
    seen += expected.length;
  }
  assert.deepEqual(await dashboardMessages(sim, CAPTAIN), []);
});
