'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');

const JSON_HEADERS = { 'Content-Type': 'application/json' };
const PLAYER = 'player@corvanta.test';
const CAPTAIN = 'captain@corvanta.test';
const AUTHENTICATED_PATHS = ['/api/launcher/live-game', '/api/launcher/notifications', '/api/launcher/notifications/unread-count'];

const DEMO_ACCOUNTS = [
  { password: 'demo1234', user: { id: 'u-1001', name: 'Demo Player', email: PLAYER, steamId: '76561198000000001' } },
  { password: 'captain1234', user: { id: 'u-1002', name: 'Sara Captain', email: CAPTAIN, steamId: '76561198000000002' } },
  { password: 'demo1234', user: { id: 'u-1003', name: 'بازیکن نمونه', email: 'persian@corvanta.test', steamId: '' } },
];

test('login succeeds for every demo account with a fresh, usable token', async (t) => {
  const sim = await startSimulator(t);
  for (const { password, user } of DEMO_ACCOUNTS) {
    const body = { email: user.email, password };
    const first = await call(sim, 'POST', '/api/launcher/auth', { headers: JSON_HEADERS, body });
    const second = await call(sim, 'POST', '/api/launcher/auth', { headers: JSON_HEADERS, body });
    for (const response of [first, second]) {
      assert.equal(response.status, 200, user.email);
      assert.equal(response.contentType, 'application/json');
      assert.deepEqual(response.json().user, user);
      assert.match(response.json().token, /^u-\d+\.[A-Za-z0-9_-]{24}\.[A-Za-z0-9_-]{43}$/);
    }
    assert.notEqual(first.json().token, second.json().token);
    for (const { token } of [first.json(), second.json()]) {
      assert.equal((await call(sim, 'GET', '/api/launcher/live-game', { token })).status, 200, user.email);
    }
  }
});

const INVALID_BODY = { message: 'Invalid request body' };
const REQUIRED = { message: 'Email and password are required' };
const REJECTED = { error: 'Invalid email or password', message: 'Unauthorized' };

const LOGIN_FAILURES = [
  ['empty body', '', 400, INVALID_BODY],
  ['not JSON', '{"email": ', 400, INVALID_BODY],
  ['JSON array', '[]', 400, INVALID_BODY],
  ['JSON null', 'null', 400, INVALID_BODY],
  ['JSON string', '"player@corvanta.test"', 400, INVALID_BODY],
  ['missing password', { email: PLAYER }, 400, REQUIRED],
  ['missing email', { password: 'demo1234' }, 400, REQUIRED],
  ['empty email', { email: '', password: 'demo1234' }, 400, REQUIRED],
  ['empty password', { email: PLAYER, password: '' }, 400, REQUIRED],
  ['numeric password', { email: PLAYER, password: 1234 }, 400, REQUIRED],
  ['unknown email', { email: 'nobody@corvanta.test', password: 'demo1234' }, 401, REJECTED],
  ['wrong password', { email: PLAYER, password: 'captain1234' }, 401, REJECTED],
  ["another account's password", { email: CAPTAIN, password: 'demo1234' }, 401, REJECTED],
  ['email in other case', { email: 'Player@corvanta.test', password: 'demo1234' }, 401, REJECTED],
  ['email with spaces', { email: ` ${PLAYER} `, password: 'demo1234' }, 401, REJECTED],
];

test('login failures answer with the documented status and body', async (t) => {
  const sim = await startSimulator(t);
  for (const [name, body, status, expected] of LOGIN_FAILURES) {
    const response = await call(sim, 'POST', '/api/launcher/auth', { headers: JSON_HEADERS, body });
    assert.equal(response.status, status, name);
    assert.equal(response.contentType, 'application/json', name);
    assert.deepEqual(response.json(), expected, name);
  }
});

test('login accepts a body sent with any content type', async (t) => {
  const sim = await startSimulator(t);
  const body = JSON.stringify({ email: PLAYER, password: 'demo1234' });
  for (const headers of [{}, { 'Content-Type': 'text/plain' }, { 'Content-Type': 'application/x-www-form-urlencoded' }]) {
    const response = await call(sim, 'POST', '/api/launcher/auth', { headers, body });
    assert.equal(response.status, 200, JSON.stringify(headers));
  }
});

test('authenticated endpoints accept only a known bearer token', async (t) => {
  const sim = await startSimulator(t);
  const token = await tokenFor(sim, PLAYER);
  const cases = [
    ['missing header', {}, 401],
    ['other scheme', { Authorization: `Token ${token}` }, 401],
    ['scheme without token', { Authorization: 'Bearer' }, 401],
    ['scheme with blank token', { Authorization: 'Bearer ' }, 401],
    ['bare token', { Authorization: token }, 401],
    ['unknown token', { Authorization: 'Bearer not-a-real-token' }, 401],
    ['tampered token', { Authorization: `Bearer ${token.replace('u-1001', 'u-1002')}` }, 401],
    ['cut signature', { Authorization: `Bearer ${token.slice(0, -1)}` }, 401],
    ['known token', { Authorization: `Bearer ${token}`, ...JSON_HEADERS }, 200],
  ];
  for (const path of AUTHENTICATED_PATHS) {
    for (const [name, headers, status] of cases) {
      const response = await call(sim, 'GET', path, { headers });
      assert.equal(response.status, status, `${path}: ${name}`);
      assert.equal(response.contentType, 'application/json', `${path}: ${name}`);
      if (status === 401) assert.deepEqual(response.json(), { error: 'Unauthorized' }, `${path}: ${name}`);
    }
  }
});

test('a token stays valid for a simulator started later', async (t) => {
  const first = await startSimulator(t);
  const token = await tokenFor(first, PLAYER);
  await first.close();
  const second = await startSimulator(t);
  const response = await call(second, 'GET', '/api/launcher/notifications/unread-count', { token });
  assert.equal(response.status, 200);
  assert.equal(typeof response.json().count, 'number');
});

test('the live game is null by default and shared by every account once set', async (t) => {
  const sim = await startSimulator(t);
  const tokens = [await tokenFor(sim, PLAYER), await tokenFor(sim, CAPTAIN)];
  const liveGame = async (token) => (await call(sim, 'GET', '/api/launcher/live-game', { token })).json();

  for (const token of tokens) assert.deepEqual(await liveGame(token), { liveGame: null });

  const game = { matchId: 'm-7', lobbyName: 'Cup #7', startedAt: '2026-01-02T03:04:05.000Z', teams: ['A', 'B'] };
  assert.deepEqual(await control(sim, 'PUT', 'live-game', game), { ok: true });
  for (const token of tokens) assert.deepEqual(await liveGame(token), { liveGame: game });

  await control(sim, 'PUT', 'live-game', null);
  for (const token of tokens) assert.deepEqual(await liveGame(token), { liveGame: null });

  const broken = await call(sim, 'PUT', '/__control/live-game', { body: '{"matchId": ' });
  assert.equal(broken.status, 400);
  assert.deepEqual(await liveGame(tokens[0]), { liveGame: null });
});

test('every account starts with one unread and one read notification, newest first', async (t) => {
  const sim = await startSimulator(t);
  for (const { user } of DEMO_ACCOUNTS) {
    const token = await tokenFor(sim, user.email);
    const { notifications } = (await call(sim, 'GET', '/api/launcher/notifications', { token })).json();
    const withoutDates = notifications.map(({ createdAt, ...rest }) => rest);
    assert.deepEqual(withoutDates, [
      { id: `n-${user.id}-2`, read: false, type: 'TOURNAMENT_STARTING', title: 'Tournament starting', message: 'Corvanta Weekly Cup starts in 30 minutes' },
      { id: `n-${user.id}-1`, read: true, type: 'SYSTEM', title: 'Welcome', message: 'Welcome to Corvanta' },
    ]);
    const dates = notifications.map((n) => n.createdAt);
    for (const date of dates) assert.equal(new Date(date).toISOString(), date);
    assert.ok(dates[0] > dates[1], 'newest first');

    const unread = await call(sim, 'GET', '/api/launcher/notifications/unread-count', { token });
    assert.deepEqual(unread.json(), { count: 1 });
  }
});

test('replacing notifications changes only that account, and the unread count follows', async (t) => {
  const sim = await startSimulator(t);
  const player = await tokenFor(sim, PLAYER);
  const captain = await tokenFor(sim, CAPTAIN);
  const notification = (id, read) => ({ id, read, type: 'MATCH', title: `Title ${id}`, message: `Message ${id}`, createdAt: '2026-03-0' + id + 'T10:00:00.000Z' });
  const cases = [
    [[notification('3', false), notification('2', false), notification('1', true)], 2],
    [[notification('1', true)], 0],
    [[], 0],
    [[notification('2', false), { id: 'no-read-flag' }], 2],
  ];
  const captainBefore = (await call(sim, 'GET', '/api/launcher/notifications', { token: captain })).json();

  for (const [notifications, count] of cases) {
    assert.deepEqual(await control(sim, 'PUT', 'notifications', { email: PLAYER, notifications }), { ok: true });
    const list = await call(sim, 'GET', '/api/launcher/notifications', { token: player });
    assert.deepEqual(list.json(), { notifications });
    const unread = await call(sim, 'GET', '/api/launcher/notifications/unread-count', { token: player });
    assert.deepEqual(unread.json(), { count });
  }
  assert.deepEqual((await call(sim, 'GET', '/api/launcher/notifications', { token: captain })).json(), captainBefore);
});

test('replacing notifications refuses unknown accounts and malformed requests', async (t) => {
  const sim = await startSimulator(t);
  const cases = [
    ['unknown account', { email: 'nobody@corvanta.test', notifications: [] }, 404, { message: 'Unknown account' }],
    ['no list', { email: PLAYER }, 400, INVALID_BODY],
    ['list is an object', { email: PLAYER, notifications: {} }, 400, INVALID_BODY],
    ['not JSON', 'notifications', 400, INVALID_BODY],
  ];
  for (const [name, body, status, expected] of cases) {
    const response = await call(sim, 'PUT', '/__control/notifications', { body });
    assert.equal(response.status, status, name);
    assert.deepEqual(response.json(), expected, name);
  }
  const token = await tokenFor(sim, PLAYER);
  assert.deepEqual((await call(sim, 'GET', '/api/launcher/notifications/unread-count', { token })).json(), { count: 1 });
});

test('unknown paths answer 404 and known paths with the wrong method 405', async (t) => {
  const sim = await startSimulator(t);
  const cases = [
    ['GET', '/api/launcher/unknown', 404, { message: 'Not found' }],
    ['POST', '/api/', 404, { message: 'Not found' }],
    ['GET', '/api/launcher/live-game/extra', 404, { message: 'Not found' }],
    ['GET', '/api/launcher/auth', 405, { message: 'Method not allowed' }],
    ['POST', '/api/launcher/live-game', 405, { message: 'Method not allowed' }],
    ['DELETE', '/api/launcher/notifications', 405, { message: 'Method not allowed' }],
    ['PUT', '/api/launcher/notifications/unread-count', 405, { message: 'Method not allowed' }],
    ['GET', '/__control/unknown', 404, { message: 'Not found' }],
    ['GET', '/__control/reset', 405, { message: 'Method not allowed' }],
    ['POST', '/__control/live-game', 405, { message: 'Method not allowed' }],
  ];
  for (const [method, path, status, expected] of cases) {
    const response = await call(sim, method, path, { headers: JSON_HEADERS });
    assert.equal(response.status, status, `${method} ${path}`);
    assert.equal(response.contentType, 'application/json', `${method} ${path}`);
    assert.deepEqual(response.json(), expected, `${method} ${path}`);
  }
});

test('control issues tokens without a password for known accounts only', async (t) => {
  const sim = await startSimulator(t);
  const issued = await call(sim, 'POST', '/__control/token', { body: { email: CAPTAIN } });
  assert.equal(issued.status, 200);
  const { token } = issued.json();
  assert.match(token, /^u-\d+\.[A-Za-z0-9_-]{24}\.[A-Za-z0-9_-]{43}$/);
  assert.equal((await call(sim, 'GET', '/api/launcher/live-game', { token })).status, 200);

  const cases = [
    [{ email: 'nobody@corvanta.test' }, 404, { message: 'Unknown account' }],
    [{}, 404, { message: 'Unknown account' }],
    ['not json', 400, INVALID_BODY],
  ];
  for (const [body, status, expected] of cases) {
    const response = await call(sim, 'POST', '/__control/token', { body });
    assert.equal(response.status, status, JSON.stringify(body));
    assert.deepEqual(response.json(), expected, JSON.stringify(body));
  }
});
