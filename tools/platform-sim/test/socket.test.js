'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const net = require('node:net');
const { once } = require('node:events');
const { setTimeout: sleep } = require('node:timers/promises');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');
const { socketUrl, openLink, connect, tryOpen, eventFrame, parseEvent, subscribe, sendMarker, framesBeforeMarker } = require('../test-support/link');

const PLAYER = 'player@corvanta.test';
const CAPTAIN = 'captain@corvanta.test';
const PERSIAN = 'persian@corvanta.test';
const FAST = { pingInterval: 100, pingTimeout: 100 };
const DEAD_AFTER = FAST.pingInterval + FAST.pingTimeout;
const UNAUTHORIZED = '44{"message":"Unauthorized"}';
// Several checks wait for a link to close; should it never close, the test
// must fail rather than hang the run.
const BOUNDED = { timeout: 5000 };

// Control answers are immediate, but what a client sends reaches the
// simulator on another connection, so some checks wait for it to show.
async function eventually(read, accept, ms = 2000) {
  const deadline = Date.now() + ms;
  for (;;) {
    const value = await read();
    if (accept(value) || Date.now() > deadline) return value;
    await sleep(10);
  }
}

const clients = (sim) => control(sim, 'GET', 'socket/clients');
const subscribed = (tournamentId, success = true) => eventFrame('tournament:subscribed', { tournamentId, success });

// Plain TCP speaking the upgrade and the WebSocket frames by hand, for what a
// WebSocket library would hide. It never ends its side on its own.
async function rawLink(t, sim) {
  const tcp = net.connect({ host: '127.0.0.1', port: sim.port, allowHalfOpen: true });
  t.after(() => tcp.destroy());
  const raw = { tcp, received: Buffer.alloc(0) };
  tcp.on('data', (chunk) => { raw.received = Buffer.concat([raw.received, chunk]); });
  tcp.write([
    'GET /socket.io/?EIO=4&transport=websocket HTTP/1.1', 'Host: 127.0.0.1', 'Upgrade: websocket', 'Connection: Upgrade',
    'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==', 'Sec-WebSocket-Version: 13', '', '',
  ].join('\r\n'));
  await rawUntil(raw, '"maxPayload"');
  assert.ok(raw.received.toString('latin1').startsWith('HTTP/1.1 101 '));
  return raw;
}

async function rawUntil(raw, text) {
  while (!raw.received.includes(text)) await once(raw.tcp, 'data');
}

// Client frames must be masked; an all-zero mask leaves the payload as it is.
// Payloads here stay under 126 bytes, so the length fits the second byte.
const clientFrame = (opcode, payload = '') =>
  Buffer.concat([Buffer.from([0x80 | opcode, 0x80 | Buffer.byteLength(payload), 0, 0, 0, 0]), Buffer.from(payload)]);

test('the open packet announces the configured ping interval and timeout', BOUNDED, async (t) => {
  const cases = [
    ['defaults', {}, 25000, 20000],
    ['short', FAST, 100, 100],
    ['uneven', { pingInterval: 150, pingTimeout: 70 }, 150, 70],
  ];
  for (const [name, options, pingInterval, pingTimeout] of cases) {
    const sim = await startSimulator(t, options);
    const link = await openLink(t, sim);
    const frame = await link.next();
    assert.ok(frame.startsWith('0{'), name);
    const open = JSON.parse(frame.slice(1));
    assert.equal(typeof open.sid, 'string', name);
    assert.deepEqual(open.upgrades, [], name);
    assert.equal(open.pingInterval, pingInterval, name);
    assert.equal(open.pingTimeout, pingTimeout, name);
  }
});

test('WebSockets open only under /socket.io/', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const base = sim.url.replace('http:', 'ws:');
  assert.equal(await tryOpen(`${base}/socket.io/?EIO=4&transport=websocket`), 'open');
  for (const path of ['/', '/api/launcher/live-game', '/engine.io/', '/socket.io']) {
    assert.notEqual(await tryOpen(`${base}${path}?EIO=4&transport=websocket`), 'open', path);
  }
});

test('CONNECT is accepted with an issued token and refused with exactly Unauthorized otherwise', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const login = await call(sim, 'POST', '/api/launcher/auth', { body: { email: CAPTAIN, password: 'captain1234' } });
  const accepted = [
    ['control token', PLAYER, await tokenFor(sim, PLAYER)],
    ['login token', CAPTAIN, login.json().token],
  ];
  const sids = [];
  for (const [name, , token] of accepted) {
    const link = await openLink(t, sim, { token });
    assert.ok((await link.next()).startsWith('0{'), name);
    link.send(`40${JSON.stringify({ token })}`);
    const frame = await link.next();
    assert.ok(frame.startsWith('40{'), `${name}: ${frame}`);
    sids.push(JSON.parse(frame.slice(2)).sid);
  }

  // The token in the URL is a valid one every time: only the CONNECT payload counts.
  const urlToken = await tokenFor(sim, PLAYER);
  const refused = [
    ['unknown token', '40{"token":"nope"}'],
    ['no payload', '40'],
    ['empty payload', '40{}'],
    ['empty token', '40{"token":""}'],
    ['numeric token', '40{"token":42}'],
    ['token under another name', `40${JSON.stringify({ access: urlToken })}`],
  ];
  for (const [name, connectFrame] of refused) {
    const link = await openLink(t, sim, { token: urlToken });
    assert.ok((await link.next()).startsWith('0{'), name);
    link.send(connectFrame);
    assert.equal(await link.next(), UNAUTHORIZED, name);
  }

  const expected = accepted.map(([, email], i) => ({ id: sids[i], email, tournaments: [] }));
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
  assert.deepEqual((await clients(sim)).map((c) => c.email), [PLAYER]);
});

test('subscribing answers on the socket and joins the room; unsubscribing leaves it quietly', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const link = await connect(t, sim, PLAYER);
  const cases = [
    ['t1', '"t1"', subscribed('t1')],
    ['another id', '"cup-2026/02"', subscribed('cup-2026/02')],
    ['empty id', '""', subscribed('', false)],
    ['numeric id', '42', subscribed('42', false)],
    ['null id', 'null', subscribed('', false)],
    ['no id', undefined, subscribed('', false)],
  ];
  for (const [name, id, reply] of cases) {
    link.send(id === undefined ? '42["subscribe:tournament"]' : `42["subscribe:tournament",${id}]`);
    assert.equal(await link.next(), reply, name);
  }
  assert.deepEqual(await clients(sim), [{ id: link.sid, email: PLAYER, tournaments: ['t1', 'cup-2026/02'] }]);

  link.send(eventFrame('unsubscribe:tournament', 't1'));
  await subscribe(link, 't3');
  assert.deepEqual(await clients(sim), [{ id: link.sid, email: PLAYER, tournaments: ['cup-2026/02', 't3'] }]);
});

test('every client event is recorded in order, and reset empties the record but keeps the links', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const player = await connect(t, sim, PLAYER);
  const captain = await connect(t, sim, CAPTAIN);

  player.send('42["ping"]');
  await subscribe(player, 't1');
  captain.send('42["custom",1,{"nested":[true,null]},"three"]');
  await subscribe(captain, 't1');
  player.send(eventFrame('unsubscribe:tournament', 't1'));
  player.send('42["ping"]');

  const events = await eventually(() => control(sim, 'GET', 'socket/events'), (list) => list.length >= 6);
  assert.deepEqual(events, [
    { id: player.sid, email: PLAYER, event: 'ping', args: [] },
    { id: player.sid, email: PLAYER, event: 'subscribe:tournament', args: ['t1'] },
    { id: captain.sid, email: CAPTAIN, event: 'custom', args: [1, { nested: [true, null] }, 'three'] },
    { id: captain.sid, email: CAPTAIN, event: 'subscribe:tournament', args: ['t1'] },
    { id: player.sid, email: PLAYER, event: 'unsubscribe:tournament', args: ['t1'] },
    { id: player.sid, email: PLAYER, event: 'ping', args: [] },
  ]);
  // The launcher's heartbeat gets no answer of any kind.
  assert.deepEqual(player.unread, []);

  await control(sim, 'POST', 'reset');
  assert.deepEqual(await control(sim, 'GET', 'socket/events'), []);
  assert.equal((await clients(sim)).length, 2);
  player.send('42["ping"]');
  const after = await eventually(() => control(sim, 'GET', 'socket/events'), (list) => list.length >= 1);
  assert.deepEqual(after, [{ id: player.sid, email: PLAYER, event: 'ping', args: [] }]);
});

test('a pushed notification reaches only that account, first in its REST list', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const players = [await connect(t, sim, PLAYER), await connect(t, sim, PLAYER)];
  const captain = await connect(t, sim, CAPTAIN);
  const token = await tokenFor(sim, PLAYER);

  const before = new Date().toISOString();
  const pushed = { type: 'MATCH_READY', title: 'Match ready', message: 'Your match is ready', metadata: { matchId: 'm-1' } };
  assert.deepEqual(await control(sim, 'POST', 'socket/notify', { email: PLAYER, notification: pushed }), { ok: true, delivered: 2 });
  const after = new Date().toISOString();

  const received = [];
  for (const link of players) {
    const [name, data] = parseEvent(await link.next());
    assert.equal(name, 'notification:new');
    received.push(data);
  }
  assert.deepEqual(received[0], received[1]);
  const { notification, unreadCount } = received[0];
  assert.equal(unreadCount, 2);
  assert.match(notification.id, /^n-./);
  assert.ok(notification.createdAt >= before && notification.createdAt <= after, notification.createdAt);
  assert.deepEqual(notification, { ...pushed, id: notification.id, read: false, createdAt: notification.createdAt });

  const list = (await call(sim, 'GET', '/api/launcher/notifications', { token })).json().notifications;
  assert.deepEqual(list.map((n) => n.id), [notification.id, 'n-u-1001-2', 'n-u-1001-1']);
  assert.deepEqual(list[0], notification);
  assert.deepEqual((await call(sim, 'GET', '/api/launcher/notifications/unread-count', { token })).json(), { count: 2 });

  await sendMarker(sim);
  assert.deepEqual(await framesBeforeMarker(captain), []);

  const unknown = await call(sim, 'POST', '/__control/socket/notify', { body: { email: 'nobody@corvanta.test', notification: pushed } });
  assert.equal(unknown.status, 404);
  assert.deepEqual(unknown.json(), { message: 'Unknown account' });
});

test('a notification without an e-mail goes to every account, each with its own count', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const links = { [PLAYER]: await connect(t, sim, PLAYER), [CAPTAIN]: await connect(t, sim, CAPTAIN) };
  await control(sim, 'PUT', 'notifications', { email: CAPTAIN, notifications: [] });
  const given = { id: 'n-given', type: 'SYSTEM', title: 'Maintenance', message: 'At noon', read: true, createdAt: '2026-01-02T03:04:05.000Z' };
  const cases = [
    ['counted', { notification: given }, { [PLAYER]: 1, [CAPTAIN]: 0 }],
    ['count given', { notification: { ...given, id: 'n-given-2' }, unreadCount: 7 }, { [PLAYER]: 7, [CAPTAIN]: 7 }],
  ];
  for (const [name, body, counts] of cases) {
    assert.deepEqual(await control(sim, 'POST', 'socket/notify', body), { ok: true, delivered: 2 }, name);
    for (const [email, link] of Object.entries(links)) {
      assert.deepEqual(parseEvent(await link.next()), ['notification:new', { notification: body.notification, unreadCount: counts[email] }], `${name}: ${email}`);
    }
  }
  // The persian account has no socket, but its REST list got both.
  const token = await tokenFor(sim, PERSIAN);
  const list = (await call(sim, 'GET', '/api/launcher/notifications', { token })).json().notifications;
  assert.deepEqual(list.map((n) => n.id), ['n-given-2', 'n-given', 'n-u-1003-2', 'n-u-1003-1']);

  assert.deepEqual(await control(sim, 'POST', 'socket/notify', { email: CAPTAIN, notification: { title: 'Burst' }, repeat: 3 }), { ok: true, delivered: 3 });
  for (let i = 1; i <= 3; i += 1) {
    const [, { notification, unreadCount }] = parseEvent(await links[CAPTAIN].next());
    assert.deepEqual([notification.title, unreadCount], [`Burst #${i}`, i]);
  }

  for (const [name, body] of [['no notification', {}], ['notification as array', { notification: [] }], ['count as text', { notification: given, unreadCount: '3' }],
    ['repeat zero', { notification: given, repeat: 0 }], ['repeat fraction', { notification: given, repeat: 1.5 }]]) {
    assert.equal((await call(sim, 'POST', '/__control/socket/notify', { body })).status, 400, name);
  }
});

test('emit reaches the sockets it addresses and no others', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const links = { subscribedPlayer: await connect(t, sim, PLAYER), otherPlayer: await connect(t, sim, PLAYER), captain: await connect(t, sim, CAPTAIN) };
  await subscribe(links.subscribedPlayer, 't1');
  await subscribe(links.captain, 't1');
  const data = { tournamentId: 't1', matchId: 'm-1', matchGameId: 'g-1', status: 'LIVE' };

  const cases = [
    ['tournament room', { event: 'match:updated', data, tournamentId: 't1' }, ['subscribedPlayer', 'captain'], eventFrame('match:updated', data)],
    ['account', { event: 'bracket:updated', data, email: PLAYER }, ['subscribedPlayer', 'otherPlayer'], eventFrame('bracket:updated', data)],
    ['everyone', { event: 'tournament:status', data }, ['subscribedPlayer', 'otherPlayer', 'captain'], eventFrame('tournament:status', data)],
    ['account and room', { event: 'leaderboard:updated', data, email: CAPTAIN, tournamentId: 't1' }, ['captain'], eventFrame('leaderboard:updated', data)],
    ['empty room', { event: 'match:updated', data, tournamentId: 't2' }, [], null],
    ['no data', { event: 'bare', email: CAPTAIN }, ['captain'], '42["bare"]'],
    ['null data', { event: 'nothing', data: null }, ['subscribedPlayer', 'otherPlayer', 'captain'], '42["nothing",null]'],
  ];
  for (const [name, body, recipients, frame] of cases) {
    assert.deepEqual(await control(sim, 'POST', 'socket/emit', body), { ok: true, delivered: recipients.length }, name);
    await sendMarker(sim);
    for (const [who, link] of Object.entries(links)) {
      assert.deepEqual(await framesBeforeMarker(link), recipients.includes(who) ? [frame] : [], `${name}: ${who}`);
    }
  }

  const refused = [
    ['no event', { data }, 400],
    ['empty event', { event: '' }, 400],
    ['numeric tournament', { event: 'x', tournamentId: 1 }, 400],
    ['unknown account', { event: 'x', email: 'nobody@corvanta.test' }, 404],
  ];
  for (const [name, body, status] of refused) {
    assert.equal((await call(sim, 'POST', '/__control/socket/emit', { body })).status, status, name);
  }
});

test('drop disconnects the addressed sockets the ordinary way, and they may come back', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const player = await connect(t, sim, PLAYER);
  const captain = await connect(t, sim, CAPTAIN);

  assert.deepEqual(await control(sim, 'POST', 'socket/drop', { email: PLAYER }), { ok: true, dropped: 1 });
  assert.equal(await player.next(), '41');
  await player.closed;
  assert.deepEqual((await clients(sim)).map((c) => c.email), [CAPTAIN]);
  assert.ok(captain.isOpen);

  const back = await connect(t, sim, PLAYER);
  assert.deepEqual(await control(sim, 'POST', 'socket/drop'), { ok: true, dropped: 2 });
  await Promise.all([back.closed, captain.closed]);
  assert.deepEqual(await clients(sim), []);
  assert.equal((await call(sim, 'POST', '/__control/socket/drop', { body: { email: 'nobody@corvanta.test' } })).status, 404);
});

test('a link the client closes is forgotten at once, not at the next ping', BOUNDED, async (t) => {
  // Default pings: a link forgotten within the second was not found dead by them.
  const sim = await startSimulator(t);
  const cases = [
    ['closing handshake', (link) => link.ws.close(1000), 1000],
    ['connection dropped', (link) => link.ws.terminate(), 1006],
  ];
  for (const [name, close, code] of cases) {
    const link = await connect(t, sim, PLAYER);
    close(link);
    assert.equal(await link.closed, code, name);
    assert.deepEqual(await eventually(() => clients(sim), (list) => list.length === 0, 1000), [], name);
  }
});

test('after a closing handshake the server closes the TCP connection first, as WebSocket servers should', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const raw = await rawLink(t, sim);
  raw.tcp.write(clientFrame(0x8));
  await once(raw.tcp, 'end');
  assert.deepEqual([...raw.received.subarray(-2)], [0x88, 0x00]);
});

test('a connection the client resets is forgotten at once', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const raw = await rawLink(t, sim);
  raw.tcp.write(clientFrame(0x1, `40${JSON.stringify({ token: await tokenFor(sim, PLAYER) })}`));
  await rawUntil(raw, '40{"sid"');
  assert.equal((await clients(sim)).length, 1);
  raw.tcp.resetAndDestroy();
  assert.deepEqual(await eventually(() => clients(sim), (list) => list.length === 0, 1000), []);
});

test('stop cuts every link and refuses new ones while REST keeps working; start accepts them again', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const token = await tokenFor(sim, PLAYER);
  const link = await connect(t, sim, PLAYER);
  const waiting = await openLink(t, sim);

  assert.deepEqual(await control(sim, 'POST', 'socket/stop'), { ok: true });
  await Promise.all([link.closed, waiting.closed]);
  assert.match(await tryOpen(socketUrl(sim)), /503/);
  assert.equal((await call(sim, 'GET', '/api/launcher/live-game', { token })).status, 200);
  assert.equal((await call(sim, 'GET', '/tournaments')).status, 200);
  assert.deepEqual(await clients(sim), []);

  assert.deepEqual(await control(sim, 'POST', 'socket/start'), { ok: true });
  assert.equal(await tryOpen(socketUrl(sim)), 'open');
  const again = await connect(t, sim, PLAYER);
  await subscribe(again, 't1');
});

test('a silenced link hears nothing and stays open past the ping timeout, while new links work', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const silenced = await connect(t, sim, PLAYER);
  const captain = await connect(t, sim, CAPTAIN);

  assert.deepEqual(await control(sim, 'POST', 'socket/silence', { email: PLAYER }), { ok: true, silenced: 1 });
  const heard = silenced.frames.length;
  assert.deepEqual((await clients(sim)).map((c) => c.email), [CAPTAIN]);
  assert.deepEqual(await control(sim, 'POST', 'socket/notify', { email: PLAYER, notification: { title: 'lost' } }), { ok: true, delivered: 0 });
  // What the client sends now is ignored, pongs included.
  for (const frame of ['3', '42["ping"]', eventFrame('subscribe:tournament', 't1')]) silenced.send(frame);

  await sleep(2 * DEAD_AFTER);
  assert.deepEqual(silenced.frames.slice(heard), []);
  assert.ok(silenced.isOpen);
  assert.ok(captain.isOpen);
  assert.deepEqual((await control(sim, 'GET', 'socket/events')).filter((e) => e.email === PLAYER), []);

  const fresh = await connect(t, sim, PLAYER);
  await subscribe(fresh, 't1');
  assert.deepEqual(await control(sim, 'POST', 'socket/notify', { email: PLAYER, notification: { title: 'found' } }), { ok: true, delivered: 1 });
  assert.equal(parseEvent(await fresh.next())[0], 'notification:new');
  await sleep(DEAD_AFTER);
  assert.ok(fresh.frames.includes('2'), 'the new link is pinged');
  assert.deepEqual(silenced.frames.slice(heard), []);
  assert.ok(silenced.isOpen);

  assert.deepEqual(await control(sim, 'POST', 'socket/silence'), { ok: true, silenced: 2 });
  assert.deepEqual(await clients(sim), []);
});

test('a silenced connection gets not a byte, and is closed only once the client ends its side', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const raw = await rawLink(t, sim);
  raw.tcp.write(clientFrame(0x1, `40${JSON.stringify({ token: await tokenFor(sim, PLAYER) })}`));
  await rawUntil(raw, '40{"sid"');
  assert.deepEqual(await control(sim, 'POST', 'socket/silence', { email: PLAYER }), { ok: true, silenced: 1 });
  const heard = raw.received.length;

  // A WebSocket ping and a close frame from the client are ignored as well.
  raw.tcp.write(Buffer.concat([clientFrame(0x9), clientFrame(0x1, '3'), clientFrame(0x8)]));
  await sleep(2 * DEAD_AFTER);
  assert.equal(raw.received.length, heard);
  assert.ok(!raw.tcp.readableEnded && !raw.tcp.destroyed);

  raw.tcp.end();
  await once(raw.tcp, 'end');
  assert.equal(raw.received.length, heard);
});

test('close() finishes promptly with ordinary and silenced links connected', BOUNDED, async (t) => {
  const sim = await startSimulator(t);
  const ordinary = await connect(t, sim, PLAYER);
  const silenced = await connect(t, sim, CAPTAIN);
  const waiting = await openLink(t, sim);
  await control(sim, 'POST', 'socket/silence', { email: CAPTAIN });

  const closed = await Promise.race([sim.close().then(() => 'closed'), sleep(1000, 'close() still waiting', { ref: false })]);
  assert.equal(closed, 'closed');
  await Promise.all([ordinary.closed, silenced.closed, waiting.closed]);
});

test('emit with "ack" asks each socket for an acknowledgement and counts the answers', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const answering = await connect(t, sim, PLAYER);
  await connect(t, sim, CAPTAIN); // never answers
  answering.ws.on('message', (data) => {
    const match = /^42(\d+)\[/.exec(data.toString());
    if (match) answering.send(`43${match[1]}[]`);
  });
  const started = Date.now();
  assert.deepEqual(await control(sim, 'POST', 'socket/emit', { event: 'x', data: {}, ack: true }), { ok: true, delivered: 2, acknowledged: 1 });
  assert.ok(Date.now() - started >= 1900, 'waits for the silent socket');
  assert.match(await answering.next(), /^42\d+\["x",\{\}\]$/);
  assert.equal((await call(sim, 'POST', '/__control/socket/emit', { body: { event: 'x', ack: 'yes' } })).status, 400);
});

test('kick ends the session with 41 and leaves the link open; links counts Engine.IO links', BOUNDED, async (t) => {
  const sim = await startSimulator(t, FAST);
  const player = await connect(t, sim, PLAYER);
  await openLink(t, sim); // a link without a session
  assert.deepEqual(await control(sim, 'GET', 'socket/links'), { links: 2 });
  assert.deepEqual(await control(sim, 'POST', 'socket/kick', { email: PLAYER }), { ok: true, kicked: 1 });
  assert.equal(await player.next(), '41');
  await sleep(DEAD_AFTER);
  assert.ok(player.isOpen);
  assert.deepEqual(await clients(sim), []);
  assert.deepEqual(await control(sim, 'GET', 'socket/links'), { links: 2 });
});
