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
  const after = Date.now();
  const { match } = answer;
  assert.deepEqual(answer, { ok: true, userId: 'u-1001', match, delivered: 1 });
  assert.match(match.matchId, /^m-./);
  assertStartsIn(match, 150, before, after);
  assert.deepEqual(match.participant1.userIds, ['u-1001', 'u-2001', 'u-2002', 'u-2003', 'u-2004']);
  assert.deepEqual(match.participant1.captainUserIds, ['u-1001']);
  assert.deepEqual([match.participant1Side, match.participant2Side], ['Dire', 'Radiant']);

  const [event, { notification, unreadCount }] = parseEvent(await player.next());
  assert.equal(event, 'notification:new');
  assert.deepEqual(notification, {
    id: notification.id, read: false, createdAt: notification.createdAt,
    type: 'LOBBY_READY', title: 'Lobby ready', message: 'Your match lobby is open. Join now!', metadata: match,
  });
  assert.equal(unreadCount, 2);
  assert.deepEqual(parseEvent(await watcher.next()), ['match:updated', match]);
  // The player is not in the room, and the captain gets no notification.
  await sendMarker(sim);
  assert.deepEqual(await framesBeforeMarker(player), []);
  assert.deepEqual(await framesBeforeMarker(watcher), []);

  const list = (await call(sim, 'GET', '/api/launcher/notifications', { token: await tokenFor(sim, PLAYER) })).json().notifications;
  assert.deepEqual(list[0], notification);
  assert.deepEqual(await liveGame(sim, PLAYER), {
    matchId: match.matchId,
    id: match.matchGameId,
    scheduledTime: match.scheduledTime,
    startedAt: null,
    tournament: { id: TOURNAMENT, name: 'Corvanta Demo Cup', participantCount: 8, type: 'SINGLE_ELIMINATION' },
    userSide: 'Dire',
    isCaptain: true,
    occupiedSlots: [],
    gameNumber: 1,
    lobbyId: match.lobbyId,
    isCompetition: false,
    match: { round: '2', bracket: 'WB' },
    opponent: { name: 'Night Owls', avatar: '' },
  });
  assert.deepEqual(await liveGame(sim, CAPTAIN), { matchId: 'm-global' });
  assert.deepEqual(await control(sim, 'GET', 'match'), { match, email: PLAYER, userId: 'u-1001' });
});

test('a match takes its defaults, may start in the past, and replaces the one before', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const first = (await control(sim, 'POST', 'match', { email: PLAYER })).match;
  assert.match(first.matchId, /^m-./);
  assert.deepEqual(first.participant1.captainUserIds, ['u-2001']);
  assert.deepEqual([first.participant1Side, first.participant2Side], ['Radiant', 'Dire']);
  const { userSide, isCaptain } = await liveGame(sim, PLAYER);
  assert.deepEqual({ userSide, isCaptain }, { userSide: 'Radiant', isCaptain: false });

  const captain = await connect(t, sim, CAPTAIN);
  const watcher = await connect(t, sim, PLAYER);
  await subscribe(watcher, TOURNAMENT);
  const before = Date.now();
  const second = await control(sim, 'POST', 'match', { email: CAPTAIN, announce: 'none', startsInSeconds: -30, matchId: 'm-7' });
  const after = Date.now();
  assert.deepEqual(second, { ok: true, userId: 'u-1002', match: second.match, delivered: 0 });
  assert.notEqual(second.match.matchGameId, first.matchGameId);
  assertStartsIn(second.match, -30, before, after);
  await sendMarker(sim);
  assert.deepEqual(await framesBeforeMarker(captain), []);
  assert.deepEqual(await framesBeforeMarker(watcher), []);

  assert.equal(await liveGame(sim, PLAYER), null);
  assert.equal((await liveGame(sim, CAPTAIN)).matchId, 'm-7');
  assert.deepEqual(await dashboardMessages(sim, CAPTAIN), []);
});

test('occupied slots are replaced whole and, like the start, reach the room and the live game', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const watcher = await connect(t, sim, CAPTAIN);
  await subscribe(watcher, TOURNAMENT);
  await control(sim, 'POST', 'match', { email: PLAYER });
  assert.equal(parseEvent(await watcher.next())[0], 'match:updated');

  const steps = [
    ['two seats', [seat('u-1001', 'Radiant', 1), seat('u-3001', 'Dire', 2)]],
    ['one other seat', [seat('u-2001', 'Radiant', 3)]],
    ['empty', []],
  ];
  for (const [name, slots] of steps) {
    assert.deepEqual(await control(sim, 'PUT', 'match/occupied-slots', slots), { ok: true, delivered: 1 }, name);
    const [event, payload] = parseEvent(await watcher.next());
    assert.equal(event, 'match:updated', name);
    assert.deepEqual(payload.occupiedSlots, slots, name);
    assert.deepEqual((await liveGame(sim, PLAYER)).occupiedSlots, slots, name);
  }

  const before = new Date().toISOString();
  assert.deepEqual(await control(sim, 'POST', 'match/start'), { ok: true, delivered: 1 });
  const after = new Date().toISOString();
  const [event, { startedAt }] = parseEvent(await watcher.next());
  assert.equal(event, 'match:updated');
  assert.ok(startedAt >= before && startedAt <= after, startedAt);
  assert.equal((await liveGame(sim, PLAYER)).startedAt, startedAt);
  // Only a match played through the dashboard reports seats there.
  assert.deepEqual(await dashboardMessages(sim, PLAYER), []);
});

test('completing pushes GAME_COMPLETED with the match as it ended and hands back the global live game', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const player = await connect(t, sim, PLAYER);
  await control(sim, 'PUT', 'live-game', { matchId: 'm-global' });
  const { match } = await control(sim, 'POST', 'match', { email: PLAYER, announce: 'none' });
  const slots = [seat('u-1001', 'Radiant', 2)];
  await control(sim, 'PUT', 'match/occupied-slots', slots);

  assert.deepEqual(await control(sim, 'POST', 'match/complete'), { ok: true, delivered: 1 });
  const [event, { notification }] = parseEvent(await player.next());
  assert.equal(event, 'notification:new');
  const { type, title, message, metadata } = notification;
  assert.deepEqual({ type, title, message }, { type: 'GAME_COMPLETED', title: 'Match completed', message: 'Good game! The result is recorded.' });
  assert.deepEqual(metadata, { ...match, occupiedSlots: slots });

  assert.deepEqual(await liveGame(sim, PLAYER), { matchId: 'm-global' });
  assert.deepEqual(await control(sim, 'GET', 'match'), { match: null, email: null, userId: null });
});

test('match operations answer 409 while there is no match, before the first one and after a reset', async (t) => {
  const sim = await startSimulator(t);
  const operations = [['PUT', 'match/occupied-slots', []], ['POST', 'match/start'], ['POST', 'match/complete']];
  for (const situation of ['before any match', 'after a reset']) {
    if (situation === 'after a reset') {
      await control(sim, 'POST', 'match', { email: PLAYER });
      await control(sim, 'POST', 'reset');
      assert.equal(await liveGame(sim, PLAYER), null, situation);
    }
    for (const [method, path, body] of operations) {
      const response = await call(sim, method, `/__control/${path}`, { body });
      assert.equal(response.status, 409, `${situation}: ${path}`);
      assert.deepEqual(response.json(), { message: 'No match' }, `${situation}: ${path}`);
    }
    assert.deepEqual(await control(sim, 'GET', 'match'), { match: null, email: null, userId: null }, situation);
  }
});

const REFUSED = [
  ['match: not JSON', 'POST', 'match', 'email=player', 400, 'Invalid request body'],
  ['match: array', 'POST', 'match', [], 400, 'Invalid request body'],
  ['match: no e-mail', 'POST', 'match', { side: 'Dire' }, 400, 'Missing field "email"'],
  ['match: e-mail as number', 'POST', 'match', { email: 7 }, 400, 'Invalid value for "email"'],
  ['match: unknown account', 'POST', 'match', { email: 'nobody@corvanta.test' }, 404, 'Unknown account'],
  ['match: unknown member', 'POST', 'match', { email: PLAYER, team: 'Dire' }, 400, 'Unknown field "team"'],
  ['match: inherited member name', 'POST', 'match', { email: PLAYER, toString: 'x' }, 400, 'Unknown field "toString"'],
  ['match: side in lower case', 'POST', 'match', { email: PLAYER, side: 'dire' }, 400, 'Invalid value for "side"'],
  ['match: captain as text', 'POST', 'match', { email: PLAYER, captain: 'true' }, 400, 'Invalid value for "captain"'],
  ['match: start as text', 'POST', 'match', { email: PLAYER, startsInSeconds: '150' }, 400, 'Invalid value for "startsInSeconds"'],
  ['match: start past any date', 'POST', 'match', { email: PLAYER, startsInSeconds: 1e300 }, 400, 'Invalid value for "startsInSeconds"'],
  ['match: unknown announce', 'POST', 'match', { email: PLAYER, announce: 'email' }, 400, 'Invalid value for "announce"'],
  ['match: empty id', 'POST', 'match', { email: PLAYER, matchId: '' }, 400, 'Invalid value for "matchId"'],
  ['slots: not JSON', 'PUT', 'match/occupied-slots', '[{', 400, 'Invalid request body'],
  ['slots: object', 'PUT', 'match/occupied-slots', seat('u-1001', 'Dire', 1), 400, 'Invalid request body'],
  ['slots: entry not an object', 'PUT', 'match/occupied-slots', [seat('u-1001', 'Dire', 1), null], 400, 'Invalid slot at index 1'],
  ['slots: no slot number', 'PUT', 'match/occupied-slots', [{ userId: 'u-1001', team: 'Dire' }], 400, 'Missing field "slotNumber" at index 0'],
  ['slots: fractional slot', 'PUT', 'match/occupied-slots', [seat('u-1001', 'Dire', 1.5)], 400, 'Invalid value for "slotNumber" at index 0'],
  ['slots: slot as text', 'PUT', 'match/occupied-slots', [seat('u-1001', 'Dire', '1')], 400, 'Invalid value for "slotNumber" at index 0'],
  ['slots: empty team', 'PUT', 'match/occupied-slots', [seat('u-1001', '', 1)], 400, 'Invalid value for "team" at index 0'],
  ['slots: empty user', 'PUT', 'match/occupied-slots', [seat('', 'Dire', 1)], 400, 'Invalid value for "userId" at index 0'],
  ['slots: unknown member', 'PUT', 'match/occupied-slots', [{ ...seat('u-1001', 'Dire', 1), hero: 'Lina' }], 400, 'Unknown field "hero" at index 0'],
  ['send: no e-mail', 'POST', 'dashboard/send', { channel: 'x' }, 400, 'Missing field "email"'],
  ['send: no channel', 'POST', 'dashboard/send', { email: PLAYER }, 400, 'Missing field "channel"'],
  ['send: empty channel', 'POST', 'dashboard/send', { email: PLAYER, channel: '' }, 400, 'Invalid value for "channel"'],
  ['send: args not a list', 'POST', 'dashboard/send', { email: PLAYER, channel: 'x', args: 'Dire' }, 400, 'Invalid value for "args"'],
  ['send: unknown account', 'POST', 'dashboard/send', { email: 'nobody@corvanta.test', channel: 'x' }, 404, 'Unknown account'],
];

test('malformed match, slot and dashboard requests are refused and change nothing', async (t) => {
  const sim = await startSimulator(t);
  const current = await control(sim, 'POST', 'match', { email: PLAYER, announce: 'none' });
  for (const [name, method, path, body, status, message] of REFUSED) {
    const response = await call(sim, method, `/__control/${path}`, { body });
    assert.equal(response.status, status, name);
    assert.deepEqual(response.json(), { message }, name);
  }
  assert.deepEqual(await control(sim, 'GET', 'match'), { match: current.match, email: PLAYER, userId: 'u-1001' });
  assert.deepEqual(await dashboardMessages(sim, PLAYER), []);
});

test('a match played through the dashboard queues match:ready and each new seat of the player, 0-based', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const player = await connect(t, sim, PLAYER);
  const watcher = await connect(t, sim, CAPTAIN);
  await subscribe(watcher, TOURNAMENT);

  const answer = await control(sim, 'POST', 'match', { email: PLAYER, announce: 'dashboard', side: 'Dire', captain: true, matchId: 'm-dash' });
  assert.equal(answer.delivered, 0);
  await sendMarker(sim);
  assert.deepEqual(await framesBeforeMarker(player), []);
  assert.deepEqual(await framesBeforeMarker(watcher), []);
  assert.deepEqual(await dashboardMessages(sim, PLAYER), [{
    seq: 1,
    channel: 'match:ready',
    args: [{ matchId: 'm-dash', lobbyName: 'Corvanta Demo Cup', playerSide: 'Dire', slotNumber: -1, isCaptain: true, isJoinedLobby: false }],
  }]);

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

test('dashboard messages are numbered per account, listed after a number, and numbered on across a reset', async (t) => {
  const sim = await startSimulator(t);
  const send = (email, channel, args) => control(sim, 'POST', 'dashboard/send', { email, channel, ...(args && { args }) });
  assert.deepEqual(await send(PLAYER, 'match:started', ['m-1']), { ok: true, seq: 1 });
  assert.deepEqual(await send(CAPTAIN, 'launcher:logout'), { ok: true, seq: 1 });
  assert.deepEqual(await send(PLAYER, 'overlay:lobbyJoined'), { ok: true, seq: 2 });
  assert.deepEqual(await send(PLAYER, 'overlay:slotOccupied', ['Dire', { nested: [null, 'یونیکد'] }]), { ok: true, seq: 3 });

  const queued = [
    { seq: 1, channel: 'match:started', args: ['m-1'] },
    { seq: 2, channel: 'overlay:lobbyJoined', args: [] },
    { seq: 3, channel: 'overlay:slotOccupied', args: ['Dire', { nested: [null, 'یونیکد'] }] },
  ];
  for (const after of [0, 1, 3, 10]) assert.deepEqual(await dashboardMessages(sim, PLAYER, after), queued.slice(after), `after=${after}`);
  const token = await tokenFor(sim, PLAYER);
  assert.deepEqual((await call(sim, 'GET', `/dashboard/messages?token=${token}`)).json().messages, queued);
  assert.deepEqual(await dashboardMessages(sim, CAPTAIN), [{ seq: 1, channel: 'launcher:logout', args: [] }]);

  await control(sim, 'POST', 'reset');
  assert.deepEqual(await dashboardMessages(sim, PLAYER), []);
  assert.deepEqual(await send(PLAYER, 'match:started', ['m-2']), { ok: true, seq: 4 });
  assert.deepEqual(await dashboardMessages(sim, PLAYER, 3), [{ seq: 4, channel: 'match:started', args: ['m-2'] }]);

  for (const query of ['', '?token=', '?token=unknown&after=0', `?token=${token}x&after=0`]) {
    const response = await call(sim, 'GET', `/dashboard/messages${query}`);
    assert.equal(response.status, 401, query);
    assert.deepEqual(response.json(), { error: 'Unauthorized' }, query);
  }
  for (const after of ['-1', 'x', '1.5']) {
    assert.equal((await call(sim, 'GET', `/dashboard/messages?token=${token}&after=${after}`)).status, 400, after);
  }
  // The dashboard's polling is a page's, not the launcher's API traffic.
  assert.deepEqual(await control(sim, 'GET', 'requests'), []);
});
