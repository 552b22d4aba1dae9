'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { setTimeout: sleep } = require('node:timers/promises');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');
const { openLink, connect, eventFrame, parseEvent, subscribe, sendMarker, framesBeforeMarker } = require('../test-support/link');

const PLAYER = 'player@corvanta.test';
const CAPTAIN = 'captain@corvanta.test';
const FAST = { pingInterval: 100, pingTimeout: 100 };
const DEAD_AFTER = FAST.pingInterval + FAST.pingTimeout;
// Several checks wait for a link to close; should it never close, the test
// must fail rather than hang the run.
const BOUNDED = { timeout: 5000 };

// What a client sends reaches the simulator on another connection than the
// control call that reads it, so some checks wait for it to show.
async function eventually(read, accept, deadline = Date.now() + 2000) {
  for (let value = await read(); ; value = await read()) {
    if (accept(value) || Date.now() > deadline) return value;
    await sleep(10);
  }
}

const clients = (sim) => control(sim, 'GET', 'socket/clients');
const emails = async (sim) => (await clients(sim)).map((c) => c.email);

test('CONNECT is accepted with an issued token and refused with exactly Unauthorized otherwise', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const login = await call(sim, 'POST', '/api/launcher/auth', { body: { email: CAPTAIN, password: 'captain1234' } });
  const urlToken = await tokenFor(sim, PLAYER);
  const frames = [
    ['control token', `40${JSON.stringify({ token: urlToken })}`, PLAYER],
    ['login token', `40${JSON.stringify({ token: login.json().token })}`, CAPTAIN],
    ['unknown token', '40{"token":"nope"}'],
    ['no payload', '40'],
    // Only the CONNECT payload counts, not the valid token in the URL.
    ['token under another name', `40${JSON.stringify({ access: urlToken })}`],
  ];
  const expected = [];
  for (const [name, connectFrame, email] of frames) {
    const link = await openLink(t, sim, { token: urlToken });
    assert.ok((await link.next()).startsWith('0{'), name);
    link.send(connectFrame);
    const answer = await link.next();
    assert.ok(email ? answer.startsWith('40{') : answer === '44{"message":"Unauthorized"}', `${name}: ${answer}`);
    if (email) expected.push({ id: JSON.parse(answer.slice(2)).sid, email, tournaments: [] });
  }
  assert.deepEqual(await clients(sim), expected);
});

test('a link that answers pings stays open; one that does not is closed after interval plus timeout', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const alive = await connect(t, sim, PLAYER);
  const started = performance.now();
  const silent = await connect(t, sim, CAPTAIN, { answerPings: false });

  await silent.closed;
  const elapsed = performance.now() - started;
  // Timers tick in whole milliseconds, hence the small allowance below.
  assert.ok(elapsed >= DEAD_AFTER - 2 && elapsed < DEAD_AFTER + 500, `closed after ${elapsed} ms`);
  assert.deepEqual(silent.unread, ['2']);

  await sleep(2 * DEAD_AFTER);
  assert.ok(alive.isOpen);
  assert.ok(alive.frames.filter((frame) => frame === '2').length >= 3, alive.frames.join(' '));
  assert.deepEqual(await emails(sim), [PLAYER]);
});

test('subscriptions join and leave tournament rooms, and every client event is recorded in order', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const link = await connect(t, sim, PLAYER);
  const captain = await connect(t, sim, CAPTAIN);
  for (const [id, tournamentId, success] of [['"t1"', 't1', true], ['"t2"', 't2', true], ['null', '', false]]) {
    link.send(`42["subscribe:tournament",${id}]`);
    assert.equal(await link.next(), eventFrame('tournament:subscribed', { tournamentId, success }), id);
  }
  link.send(eventFrame('unsubscribe:tournament', 't1'));
  link.send('42["ping"]');
  await subscribe(captain, 't3');
  const own = (event, ...args) => ({ id: link.sid, email: PLAYER, event, args });
  const expected = [
    ...['t1', 't2', null].map((id) => own('subscribe:tournament', id)), own('unsubscribe:tournament', 't1'), own('ping'),
    { id: captain.sid, email: CAPTAIN, event: 'subscribe:tournament', args: ['t3'] },
  ];
  const events = await eventually(() => control(sim, 'GET', 'socket/events'), (list) => list.length >= expected.length);
  assert.deepEqual([...events.filter((e) => e.email === PLAYER), ...events.filter((e) => e.email === CAPTAIN)], expected);
  assert.deepEqual((await clients(sim)).map((c) => [c.id, c.tournaments]), [[link.sid, ['t2']], [captain.sid, ['t3']]]);
  // The launcher's heartbeat gets no answer of any kind.
  assert.deepEqual(link.unread, []);
});

test('a pushed notification reaches only the addressed account and heads its REST list', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const players = [await connect(t, sim, PLAYER), await connect(t, sim, PLAYER)];
  const captain = await connect(t, sim, CAPTAIN);
  const token = await tokenFor(sim, PLAYER);

  const before = new Date().toISOString();
  const pushed = { type: 'MATCH_READY', title: 'Match ready', message: 'Your match is ready', metadata: { matchId: 'm-1' } };
  assert.deepEqual(await control(sim, 'POST', 'socket/notify', { email: PLAYER, notification: pushed }), { ok: true, delivered: 2 });
  const [[event, { notification, unreadCount }], other] = [parseEvent(await players[0].next()), parseEvent(await players[1].next())];
  assert.deepEqual(other, [event, { notification, unreadCount }]);
  assert.deepEqual([event, unreadCount], ['notification:new', 2]);
  assert.ok(notification.createdAt >= before && notification.createdAt <= new Date().toISOString(), notification.createdAt);
  assert.deepEqual(notification, { ...pushed, id: notification.id, read: false, createdAt: notification.createdAt });

  const list = (await call(sim, 'GET', '/api/launcher/notifications', { token })).json().notifications;
  assert.deepEqual(list, [notification, ...list.slice(1)]);
  assert.deepEqual(list.slice(1).map((n) => n.id), ['n-u-1001-2', 'n-u-1001-1']);
  assert.deepEqual((await call(sim, 'GET', '/api/launcher/notifications/unread-count', { token })).json(), { count: 2 });
  await sendMarker(sim);
  for (const link of [...players, captain]) assert.deepEqual(await framesBeforeMarker(link), []);

});

test('emit with "ack" waits for the acknowledgements and counts them', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const [answering] = [await connect(t, sim, PLAYER), await connect(t, sim, CAPTAIN)];
  answering.ws.on('message', (message) => {
    const match = /^42(\d+)\[/.exec(message.toString());
    if (match) answering.send(`43${match[1]}[]`);
  });
  const started = Date.now();
  assert.deepEqual(await control(sim, 'POST', 'socket/emit', { event: 'x', data: {}, ack: true }), { ok: true, delivered: 2, acknowledged: 1 });
  assert.ok(Date.now() - started >= 1900, 'waits for the socket that does not answer');
  assert.match(await answering.next(), /^42\d+\["x",\{\}\]$/);
});

test('drop closes the addressed links after 41; kick sends 41 and leaves the link open; links counts Engine.IO links', BOUNDED, async (t) => {
  for (const [operation, count, closes] of [['drop', 'dropped', true], ['kick', 'kicked', false]]) {
    const sim = await startSimulator(t, FAST);
    const player = await connect(t, sim, PLAYER);
    const captain = await connect(t, sim, CAPTAIN);
    await openLink(t, sim); // a link without a session
    assert.deepEqual(await control(sim, 'POST', `socket/${operation}`, { email: PLAYER }), { ok: true, [count]: 1 }, operation);
    assert.equal(await player.next(), '41', operation);
    assert.deepEqual(await emails(sim), [CAPTAIN], operation);
    await (closes ? player.closed : sleep(DEAD_AFTER));
    assert.deepEqual([player.isOpen, captain.isOpen], [!closes, true], operation);
    assert.deepEqual(await control(sim, 'GET', 'socket/links'), { links: closes ? 2 : 3 }, operation);
    assert.deepEqual(await control(sim, 'POST', `socket/${operation}`), { ok: true, [count]: 1 }, operation);
    assert.deepEqual(await clients(sim), [], operation);
  }
});

test('a silenced link hears nothing and stays open past the ping timeout, while new links work', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const silenced = await connect(t, sim, PLAYER);
  const captain = await connect(t, sim, CAPTAIN);

  assert.deepEqual(await control(sim, 'POST', 'socket/silence', { email: PLAYER }), { ok: true, silenced: 1 });
  const heard = silenced.frames.length;
  assert.deepEqual(await emails(sim), [CAPTAIN]);
  assert.deepEqual(await control(sim, 'POST', 'socket/notify', { email: PLAYER, notification: { title: 'lost' } }), { ok: true, delivered: 0 });
  // Its pongs are ignored too, yet the link is not closed.
  silenced.send('3');
  await sleep(2 * DEAD_AFTER);
  assert.deepEqual(silenced.frames.slice(heard), []);
  assert.ok(silenced.isOpen && captain.isOpen);

  await connect(t, sim, PLAYER);
  assert.deepEqual(await control(sim, 'POST', 'socket/silence'), { ok: true, silenced: 2 });
  assert.deepEqual(await clients(sim), []);
});
