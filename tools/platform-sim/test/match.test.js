'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');
const { connect, subscribe, sendMarker, framesBeforeMarker } = require('../test-support/link');

const PLAYER = 'player@corvanta.test';
const CAPTAIN = 'captain@corvanta.test';
const TOURNAMENT = 't-demo-cup';
// Socket checks wait for frames; should one never come, the test must fail
// rather than hang the run.
const BOUNDED = { timeout: 5000 };

const dashboardMessages = async (sim, email, after = 0) =>
  (await call(sim, 'GET', `/dashboard/messages?token=${await tokenFor(sim, email)}&after=${after}`)).json().messages;
const seat = (userId, team, slotNumber) => ({ userId, team, slotNumber });

async function assertNothingMore(sim, ...links) {
  await sendMarker(sim);
  for (const link of links) assert.deepEqual(await framesBeforeMarker(link), []);
}

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
