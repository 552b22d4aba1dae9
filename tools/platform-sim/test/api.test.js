'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');

const JSON_HEADERS = { 'Content-Type': 'application/json' };
const PLAYER = 'player@corvanta.test';
const LIVE_GAME = '/api/launcher/live-game';
const NOTIFICATIONS = '/api/launcher/notifications';
const UNREAD = '/api/launcher/notifications/unread-count';

const login = (sim, body) => call(sim, 'POST', '/api/launcher/auth', { headers: JSON_HEADERS, body });
const get = async (sim, path, token) => (await call(sim, 'GET', path, { token })).json();

test('authenticated endpoints accept only a known bearer token, also one issued before a restart', async (t) => {
  const earlier = await startSimulator(t);
  const token = await tokenFor(earlier, PLAYER);
  await earlier.close();
  const sim = await startSimulator(t);
  const cases = [
    ['missing header', {}, 401],
    ['other scheme', { Authorization: `Token ${token}` }, 401],
    ['unknown token', { Authorization: 'Bearer not-a-real-token' }, 401],
    ['tampered token', { Authorization: `Bearer ${token.replace('u-1001', 'u-1002')}` }, 401],
    ['known token', { Authorization: `Bearer ${token}`, ...JSON_HEADERS }, 200],
  ];
  for (const path of [LIVE_GAME, NOTIFICATIONS, UNREAD]) {
    for (const [name, headers, status] of cases) {
      const response = await call(sim, 'GET', path, { headers });
      assert.deepEqual([response.status, response.contentType], [status, 'application/json'], `${path}: ${name}`);
      if (status === 401) assert.deepEqual(response.json(), { error: 'Unauthorized' }, `${path}: ${name}`);
    }
  }
});

test('the request log holds the API requests in order; reset empties it and restores the defaults, tokens kept', async (t) => {
  const sim = await startSimulator(t);
  const token = await tokenFor(sim, PLAYER);
  await control(sim, 'PUT', 'live-game', { matchId: 'm-1' });
  await control(sim, 'PUT', 'notifications', { email: PLAYER, notifications: [] });
  await login(sim, { email: PLAYER, password: 'demo1234' });
  await call(sim, 'GET', '/tournaments');
  await call(sim, 'GET', `${UNREAD}?x=1`, { token });
  await call(sim, 'GET', LIVE_GAME, { token });
  const log = await control(sim, 'GET', 'requests');
  assert.deepEqual(log.map(({ method, path }) => `${method} ${path}`), ['POST /api/launcher/auth', `GET ${UNREAD}`, `GET ${LIVE_GAME}`]);

  assert.deepEqual(await control(sim, 'POST', 'reset'), { ok: true });
  assert.deepEqual(await control(sim, 'GET', 'requests'), []);
  assert.deepEqual(await get(sim, LIVE_GAME, token), { liveGame: null });
  assert.deepEqual((await get(sim, NOTIFICATIONS, token)).notifications.map((n) => n.id), ['n-u-1001-2', 'n-u-1001-1']);
  assert.deepEqual(await get(sim, UNREAD, token), { count: 1 });
});
