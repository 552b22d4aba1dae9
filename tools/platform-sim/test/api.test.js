'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');

const JSON_HEADERS = { 'Content-Type': 'application/json' };
const PLAYER = 'player@corvanta.test';
const CAPTAIN = 'captain@corvanta.test';
const LIVE_GAME = '/api/launcher/live-game';
const NOTIFICATIONS = '/api/launcher/notifications';
const UNREAD = '/api/launcher/notifications/unread-count';
const TOKEN = /^u-\d+\.[A-Za-z0-9_-]{24}\.[A-Za-z0-9_-]{43}$/;

const login = (sim, body) => call(sim, 'POST', '/api/launcher/auth', { headers: JSON_HEADERS, body });
const get = async (sim, path, token) => (await call(sim, 'GET', path, { token })).json();

test('login answers the account and a usable token for every demo account', async (t) => {
  const sim = await startSimulator(t);
  const accounts = [
    ['demo1234', { id: 'u-1001', name: 'Demo Player', email: PLAYER, steamId: '76561198000000001' }],
    ['captain1234', { id: 'u-1002', name: 'Sara Captain', email: CAPTAIN, steamId: '76561198000000002' }],
    ['demo1234', { id: 'u-1003', name: 'بازیکن نمونه', email: 'persian@corvanta.test', steamId: '' }],
  ];
  for (const [password, user] of accounts) {
    const response = await login(sim, { email: user.email, password });
    assert.deepEqual([response.status, response.contentType, response.json().user], [200, 'application/json', user]);
    assert.match(response.json().token, TOKEN);
    assert.equal((await call(sim, 'GET', LIVE_GAME, { token: response.json().token })).status, 200, user.email);
  }
});

test('login failures answer with their status and body', async (t) => {
  const sim = await startSimulator(t);
  const invalidBody = [400, { message: 'Invalid request body' }];
  const required = [400, { message: 'Email and password are required' }];
  const rejected = [401, { error: 'Invalid email or password', message: 'Unauthorized' }];
  const cases = [
    ['empty body', '', invalidBody],
    ['missing password', { email: PLAYER }, required],
    ['wrong password', { email: PLAYER, password: 'captain1234' }, rejected],
    ['email in other case', { email: 'Player@corvanta.test', password: 'demo1234' }, rejected],
  ];
  for (const [name, body, [status, expected]] of cases) {
    const response = await login(sim, body);
    assert.deepEqual([response.status, response.contentType, response.json()], [status, 'application/json', expected], name);
  }
});

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

test('the live game is null by default and shared by every account once set', async (t) => {
  const sim = await startSimulator(t);
  const tokens = [await tokenFor(sim, PLAYER), await tokenFor(sim, CAPTAIN)];
  const game = { matchId: 'm-7', lobbyName: 'Cup #7', startedAt: '2026-01-02T03:04:05.000Z', teams: ['A', 'B'] };
  for (const [step, liveGame] of [['default', undefined], ['set', game], ['cleared', null]]) {
    if (liveGame !== undefined) assert.deepEqual(await control(sim, 'PUT', 'live-game', liveGame), { ok: true });
    for (const token of tokens) assert.deepEqual(await get(sim, LIVE_GAME, token), { liveGame: liveGame ?? null }, step);
  }
  assert.equal((await call(sim, 'PUT', '/__control/live-game', { body: '{"matchId": ' })).status, 400);
});

test('every account starts with one unread and one read notification; replacing them changes only that account', async (t) => {
  const sim = await startSimulator(t);
  const tokens = {};
  for (const [email, id] of [[PLAYER, 'u-1001'], [CAPTAIN, 'u-1002'], ['persian@corvanta.test', 'u-1003']]) {
    tokens[email] = await tokenFor(sim, email);
    const { notifications } = await get(sim, NOTIFICATIONS, tokens[email]);
    assert.deepEqual(notifications.map(({ createdAt, ...rest }) => rest), [
      { id: `n-${id}-2`, read: false, type: 'TOURNAMENT_STARTING', title: 'Tournament starting', message: 'Corvanta Weekly Cup starts in 30 minutes' },
      { id: `n-${id}-1`, read: true, type: 'SYSTEM', title: 'Welcome', message: 'Welcome to Corvanta' },
    ]);
    assert.deepEqual(await get(sim, UNREAD, tokens[email]), { count: 1 });
  }

  const captainBefore = await get(sim, NOTIFICATIONS, tokens[CAPTAIN]);
  const notification = (id, read) => ({ id, read, type: 'MATCH', title: `Title ${id}`, message: `Message ${id}`, createdAt: `2026-03-0${id}T10:00:00.000Z` });
  for (const [notifications, count] of [[[notification('3', false), notification('2', false), notification('1', true)], 2], [[], 0]]) {
    assert.deepEqual(await control(sim, 'PUT', 'notifications', { email: PLAYER, notifications }), { ok: true });
    assert.deepEqual(await get(sim, NOTIFICATIONS, tokens[PLAYER]), { notifications });
    assert.deepEqual(await get(sim, UNREAD, tokens[PLAYER]), { count });
  }
  assert.deepEqual(await get(sim, NOTIFICATIONS, tokens[CAPTAIN]), captainBefore);
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
