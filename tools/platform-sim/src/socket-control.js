'use strict';

const crypto = require('node:crypto');
const { ACCOUNTS, findAccount } = require('./accounts');
const { sendJson, invalid, isObject, parseObject } = require('./http');

const unknownAccount = (res) => sendJson(res, 404, { message: 'Unknown account' });

function listClients(req, res, state, body, realtime) {
  sendJson(res, 200, realtime.sockets().map((socket) => ({
    id: socket.id,
    email: socket.data.account.email,
    tournaments: realtime.tournamentsOf(socket),
  })));
}

// The notification goes into the REST list as well, so that what the launcher
// fetches after the push agrees with what was pushed. Answers the number of
// sockets it reached.
function pushNotification(state, realtime, accounts, fields, unreadCount) {
  const notification = {
    id: `n-${crypto.randomUUID()}`,
    read: false,
    createdAt: new Date().toISOString(),
    ...fields,
  };
  let delivered = 0;
  for (const account of accounts) {
    state.notifications.get(account.id).unshift(notification);
    const count = unreadCount ?? state.unreadCount(account);
    for (const socket of realtime.sockets({ email: account.email })) {
      socket.emit('notification:new', { notification, unreadCount: count });
      delivered += 1;
    }
  }
  return delivered;
}

// Sends an event to the sockets the filter selects (see realtime.sockets);
// answers how many there were.
function pushEvent(realtime, filter, event, ...args) {
  const sockets = realtime.sockets(filter);
  for (const socket of sockets) socket.emit(event, ...args);
  return sockets.length;
}

// As pushEvent, but each event asks for an acknowledgement; resolves to how
// many sockets acknowledged within the time given.
function pushEventWithAck(realtime, filter, event, args, ms = 2000) {
  const sockets = realtime.sockets(filter);
  const acks = sockets.map((socket) => new Promise((resolve) => {
    socket.timeout(ms).emit(event, ...args, (err) => resolve(!err));
  }));
  return Promise.all(acks).then((answers) => ({ delivered: sockets.length, acknowledged: answers.filter(Boolean).length }));
}

function notify(req, res, state, body, realtime) {
  const request = parseObject(body);
  if (!request || !isObject(request.notification)) return invalid(res);
  if (request.unreadCount !== undefined && typeof request.unreadCount !== 'number') {
    return invalid(res, 'Invalid value for "unreadCount"');
  }
  const repeat = request.repeat ?? 1;
  if (!Number.isInteger(repeat) || repeat < 1 || repeat > 100000) {
    return invalid(res, 'Invalid value for "repeat"');
  }
  const accounts = request.email === undefined ? ACCOUNTS : [findAccount(request.email)];
  if (!accounts[0]) return unknownAccount(res);
  // A burst: copy i of n has " #i" after its title, so that order can be checked.
  let delivered = 0;
  for (let i = 1; i <= repeat; i += 1) {
    const fields = repeat === 1 ? request.notification
      : { ...request.notification, title: `${request.notification.title ?? ''} #${i}` };
    delivered += pushNotification(state, realtime, accounts, fields, request.unreadCount);
  }
  return sendJson(res, 200, { ok: true, delivered });
}

function emit(req, res, state, body, realtime) {
  const request = parseObject(body);
  if (!request) return invalid(res);
  const { event, email, tournamentId } = request;
  if (typeof event !== 'string' || event === '') return invalid(res, 'Invalid value for "event"');
  if (tournamentId !== undefined && typeof tournamentId !== 'string') return invalid(res, 'Invalid value for "tournamentId"');
  if (email !== undefined && !findAccount(email)) return unknownAccount(res);

  if (request.ack !== undefined && typeof request.ack !== 'boolean') return invalid(res, 'Invalid value for "ack"');

  // Without "data" the event goes out with no argument at all, not with null.
  const args = 'data' in request ? [request.data] : [];
  if (request.ack) {
    return pushEventWithAck(realtime, { email, tournamentId }, event, args)
      .then((counts) => sendJson(res, 200, { ok: true, ...counts }));
  }
  const delivered = pushEvent(realtime, { email, tournamentId }, event, ...args);
  return sendJson(res, 200, { ok: true, delivered });
}

// Drop and silence act on one account's sockets, or on every socket when no
// e-mail is given; an empty body counts as none.
function onSockets(act, countName) {
  return (req, res, state, body, realtime) => {
    const request = body === '' ? {} : parseObject(body);
    if (!request) return invalid(res);
    if (request.email !== undefined && !findAccount(request.email)) return unknownAccount(res);
    const sockets = realtime.sockets({ email: request.email });
    for (const socket of sockets) act(socket, realtime);
    return sendJson(res, 200, { ok: true, [countName]: sockets.length });
  };
}

function toggle(operation) {
  return (req, res, state, body, realtime) => {
    realtime[operation]();
    sendJson(res, 200, { ok: true });
  };
}

const SOCKET_ROUTES = {
  '/__control/socket/clients': { GET: listClients },
  '/__control/socket/events': { GET: (req, res, state) => sendJson(res, 200, state.socketEvents) },
  '/__control/socket/notify': { POST: notify },
  '/__control/socket/emit': { POST: emit },
  '/__control/socket/links': { GET: (req, res, state, body, realtime) => sendJson(res, 200, { links: realtime.linkCount() }) },
  '/__control/socket/drop': { POST: onSockets((socket) => socket.disconnect(true), 'dropped') },
  '/__control/socket/kick': { POST: onSockets((socket) => socket.disconnect(false), 'kicked') },
  '/__control/socket/silence': { POST: onSockets((socket, realtime) => realtime.silence(socket), 'silenced') },
  '/__control/socket/stop': { POST: toggle('stop') },
  '/__control/socket/start': { POST: toggle('start') },
};

module.exports = { SOCKET_ROUTES, pushNotification, pushEvent, unknownAccount };
