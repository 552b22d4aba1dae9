'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const http = require('node:http');
const { setTimeout: sleep } = require('node:timers/promises');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');

const LIVE_GAME = '/api/launcher/live-game';
const NOTIFICATIONS = '/api/launcher/notifications';
const UNREAD = '/api/launcher/notifications/unread-count';
const PLAYER = 'player@corvanta.test';
// Without a token the real handler answers 401, which tells an override's
// answer apart from the normal one.
const NORMAL_STATUS = 401;

const OVERRIDES = [
  ['status and JSON body', { status: 503, body: { error: 'Maintenance' } }, 503, '{"error":"Maintenance"}', 'application/json'],
  ['message envelope', { status: 500, body: { message: 'Server exploded' } }, 500, '{"message":"Server exploded"}', 'application/json'],
  ['JSON array', { body: [] }, 200, '[]', 'application/json'],
  ['JSON string', { body: 'ok' }, 200, '"ok"', 'application/json'],
  ['empty body', { status: 200 }, 200, '', 'application/json'],
  ['raw HTML error page', { status: 502, raw: '<html><body>Bad gateway</body></html>' }, 502, '<html><body>Bad gateway</body></html>', 'text/html'],
  ['raw text with its own type', { raw: 'plain words', contentType: 'text/plain' }, 200, 'plain words', 'text/plain'],
  ['raw broken JSON', { raw: '{"token": "abc"', contentType: 'application/json' }, 200, '{"token": "abc"', 'application/json'],
  ['raw non-ASCII text', { raw: 'خطا ✅ "quoted" \\ done' }, 200, 'خطا ✅ "quoted" \\ done', 'text/html'],
];

test('a queued override answers the next request once, then the normal handler is back', async (t) => {
  const sim = await startSimulator(t);
  for (const [name, override, status, text, contentType] of OVERRIDES) {
    assert.deepEqual(await control(sim, 'POST', 'next-response', override), { ok: true }, name);
    const overridden = await call(sim, 'GET', LIVE_GAME);
    assert.equal(overridden.status, status, name);
    assert.equal(overridden.text, text, name);
    assert.equal(overridden.contentType, contentType, name);
    assert.equal((await call(sim, 'GET', LIVE_GAME)).status, NORMAL_STATUS, name);
  }
});

test('an override with delayMs answers no sooner than that', async (t) => {
  const sim = await startSimulator(t);
  const delayMs = 300;
  await control(sim, 'POST', 'next-response', { delayMs, status: 201, body: { late: true } });
  const started = performance.now();
  const response = await call(sim, 'GET', LIVE_GAME);
  const elapsed = performance.now() - started;
  // Timers and the clock read here tick in whole milliseconds, hence the 1 ms.
  assert.ok(elapsed >= delayMs - 1, `answered after ${elapsed} ms`);
  assert.equal(response.status, 201);
  assert.deepEqual(response.json(), { late: true });
});

test('a hanging override never answers, other requests still do, and close() still finishes', async (t) => {
  const sim = await startSimulator(t);
  await control(sim, 'POST', 'next-response', { hang: true });

  const request = http.get(`${sim.url}${LIVE_GAME}`);
  const outcome = new Promise((resolve) => {
    request.on('response', () => resolve('answered'));
    request.on('error', () => resolve('connection closed'));
  });
  const first = await Promise.race([outcome, sleep(500, 'still waiting')]);
  assert.equal(first, 'still waiting');
  assert.equal((await call(sim, 'GET', LIVE_GAME)).status, NORMAL_STATUS);

  const closed = await Promise.race([sim.close().then(() => 'closed'), sleep(1000, 'close() still waiting', { ref: false })]);
  assert.equal(closed, 'closed');
  assert.equal(await outcome, 'connection closed');
});

test('overrides are consumed in the order they were queued', async (t) => {
  const sim = await startSimulator(t);
  const statuses = [500, 503, 429];
  for (const status of statuses) await control(sim, 'POST', 'next-response', { status, body: { status } });
  for (const status of statuses) {
    const response = await call(sim, 'GET', LIVE_GAME);
    assert.equal(response.status, status);
    assert.deepEqual(response.json(), { status });
  }
  assert.equal((await call(sim, 'GET', LIVE_GAME)).status, NORMAL_STATUS);
});

test('an override with a path waits for that path, query aside, while others pass it by', async (t) => {
  const sim = await startSimulator(t);
  await control(sim, 'POST', 'next-response', { path: NOTIFICATIONS, status: 418 });
  await control(sim, 'POST', 'next-response', { status: 500 });

  const steps = [
    [LIVE_GAME, 500],
    [LIVE_GAME, NORMAL_STATUS],
    [UNREAD, NORMAL_STATUS],
    [`${NOTIFICATIONS}?page=2`, 418],
    [NOTIFICATIONS, NORMAL_STATUS],
  ];
  for (const [path, status] of steps) assert.equal((await call(sim, 'GET', path)).status, status, path);
});

test('malformed overrides are refused and nothing is queued', async (t) => {
  const sim = await startSimulator(t);
  const cases = [
    ['not JSON', 'status=500', 'Invalid request body'],
    ['array', '[]', 'Invalid request body'],
    ['misspelt member', { delay: 100 }, 'Unknown field "delay"'],
    ['inherited member name', { constructor: 500 }, 'Unknown field "constructor"'],
    ['prototype member', '{"__proto__":{"status":500}}', 'Unknown field "__proto__"'],
    ['status as text', { status: '500' }, 'Invalid value for "status"'],
    ['status out of range', { status: 99 }, 'Invalid value for "status"'],
    ['path outside the API', { path: '/launcher-auth' }, 'Invalid value for "path"'],
    ['negative delay', { delayMs: -1 }, 'Invalid value for "delayMs"'],
    ['raw as object', { raw: { html: true } }, 'Invalid value for "raw"'],
    ['hang as text', { hang: 'yes' }, 'Invalid value for "hang"'],
  ];
  for (const [name, body, message] of cases) {
    const response = await call(sim, 'POST', '/__control/next-response', { body });
    assert.equal(response.status, 400, name);
    assert.deepEqual(response.json(), { message }, name);
  }
  assert.equal((await call(sim, 'GET', LIVE_GAME)).status, NORMAL_STATUS);
});

test('the request log records every API request as received, and nothing else', async (t) => {
  const sim = await startSimulator(t);
  const token = await tokenFor(sim, PLAYER);
  const loginBody = '{ "email": "player@corvanta.test",\n  "password": "demo1234" }';
  await call(sim, 'POST', '/api/launcher/auth?source=launcher&v=2', { headers: { 'Content-Type': 'application/json' }, body: loginBody });
  await call(sim, 'GET', '/tournaments');
  await call(sim, 'GET', LIVE_GAME, { token, headers: { 'Content-Type': 'application/json', 'X-Client': 'Corvanta Launcher' } });
  await control(sim, 'PUT', 'live-game', null);
  await control(sim, 'POST', 'next-response', { status: 500 });
  await call(sim, 'DELETE', '/api/nowhere?x=');

  const log = await control(sim, 'GET', 'requests');
  assert.deepEqual(log.map(({ method, path, query, body }) => ({ method, path, query, body })), [
    { method: 'POST', path: '/api/launcher/auth', query: { source: 'launcher', v: '2' }, body: loginBody },
    { method: 'GET', path: LIVE_GAME, query: {}, body: '' },
    { method: 'DELETE', path: '/api/nowhere', query: { x: '' }, body: '' },
  ]);
  assert.equal(log[0].headers['content-type'], 'application/json');
  assert.equal(log[0].headers['content-length'], String(Buffer.byteLength(loginBody)));
  assert.equal(log[0].headers.authorization, undefined);
  assert.equal(log[1].headers.authorization, `Bearer ${token}`);
  assert.equal(log[1].headers['content-type'], 'application/json');
  assert.equal(log[1].headers['x-client'], 'Corvanta Launcher');
});

test('reset restores every default but keeps issued tokens valid', async (t) => {
  const sim = await startSimulator(t);
  const token = await tokenFor(sim, PLAYER);
  await control(sim, 'PUT', 'live-game', { matchId: 'm-1' });
  await control(sim, 'PUT', 'notifications', { email: PLAYER, notifications: [] });
  await control(sim, 'POST', 'next-response', { path: UNREAD, status: 500 });
  await call(sim, 'GET', LIVE_GAME, { token });

  assert.deepEqual(await control(sim, 'POST', 'reset'), { ok: true });

  assert.deepEqual(await control(sim, 'GET', 'requests'), []);
  assert.deepEqual((await call(sim, 'GET', LIVE_GAME, { token })).json(), { liveGame: null });
  const { notifications } = (await call(sim, 'GET', NOTIFICATIONS, { token })).json();
  assert.deepEqual(notifications.map((n) => n.id), ['n-u-1001-2', 'n-u-1001-1']);
  const unread = await call(sim, 'GET', UNREAD, { token });
  assert.equal(unread.status, 200);
  assert.deepEqual(unread.json(), { count: 1 });
  assert.equal((await control(sim, 'GET', 'requests')).length, 3);
});
