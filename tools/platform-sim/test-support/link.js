'use strict';

// A WebSocket client that speaks Engine.IO v4 / Socket.IO v5 text frames by
// hand, as the launcher does, so the tests see exactly what crosses the wire.
const { once } = require('node:events');
const WebSocket = require('ws');
const { control, tokenFor } = require('./simulator');

function socketUrl(simulator, token = '') {
  return `${simulator.url.replace('http:', 'ws:')}/socket.io/?EIO=4&transport=websocket&token=${encodeURIComponent(token)}`;
}

class Link {
  constructor(ws, answerPings) {
    this.ws = ws;
    this.answerPings = answerPings;
    this.frames = []; // every frame received, pings included
    this.unread = []; // frames next() has not returned yet; answered pings never land here
    this.closed = new Promise((resolve) => ws.once('close', resolve));
    // A reset connection also ends in 'close', which is what the tests watch.
    ws.on('error', () => {});
    ws.on('message', (data) => {
      const frame = data.toString();
      this.frames.push(frame);
      if (this.answerPings && frame === '2') ws.send('3');
      else this.unread.push(frame);
    });
  }

  get isOpen() {
    return this.ws.readyState === WebSocket.OPEN;
  }

  send(frame) {
    this.ws.send(frame);
  }

  async next(ms = 2000) {
    const signal = AbortSignal.timeout(ms);
    try {
      while (this.unread.length === 0) await once(this.ws, 'message', { signal });
    } catch {
      throw new Error(`no frame within ${ms} ms`);
    }
    return this.unread.shift();
  }
}

// The WebSocket is open but nothing is sent yet. It is torn down after the
// test whatever happened, so no test leaves a connection behind.
async function openLink(t, simulator, { token = '', answerPings = true } = {}) {
  const ws = new WebSocket(socketUrl(simulator, token));
  t.after(() => ws.terminate());
  const link = new Link(ws, answerPings);
  await once(ws, 'open');
  return link;
}

// Open, then CONNECT the way the launcher does; the link is ready for events.
async function connect(t, simulator, email, options) {
  const token = await tokenFor(simulator, email);
  const link = await openLink(t, simulator, { token, ...options });
  const open = await link.next();
  if (!open.startsWith('0{')) throw new Error(`expected the open packet, got ${open}`);
  link.send(`40${JSON.stringify({ token })}`);
  const accepted = await link.next();
  if (!accepted.startsWith('40{')) throw new Error(`expected CONNECT accepted, got ${accepted}`);
  link.sid = JSON.parse(accepted.slice(2)).sid;
  return link;
}

const eventFrame = (...args) => `42${JSON.stringify(args)}`;

// An event frame as [event, ...args].
function parseEvent(frame) {
  if (!frame.startsWith('42')) throw new Error(`expected an event frame, got ${frame}`);
  return JSON.parse(frame.slice(2));
}

async function subscribe(link, id) {
  link.send(eventFrame('subscribe:tournament', id));
  const expected = eventFrame('tournament:subscribed', { tournamentId: id, success: true });
  const answer = await link.next();
  if (answer !== expected) throw new Error(`expected ${expected}, got ${answer}`);
}

// Frames arrive in the order the server sent them, so a marker sent to every
// link after an operation shows exactly what that operation delivered.
const sendMarker = (simulator) => control(simulator, 'POST', 'socket/emit', { event: 'marker' });

async function framesBeforeMarker(link) {
  const frames = [];
  for (let frame = await link.next(); frame !== eventFrame('marker'); frame = await link.next()) frames.push(frame);
  return frames;
}

module.exports = { openLink, connect, eventFrame, parseEvent, subscribe, sendMarker, framesBeforeMarker };
