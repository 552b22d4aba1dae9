'use strict';

const { Server } = require('socket.io');
const { Valve } = require('./valve');

const PATH = '/socket.io/';
const TOURNAMENT_ROOM = 'tournament:';
const UNAVAILABLE = 'HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Length: 0\r\n\r\n';

function attachRealtime(httpServer, state, { pingInterval, pingTimeout }) {
  const io = new Server(httpServer, { path: PATH, transports: ['websocket'], serveClient: false, pingInterval, pingTimeout });
  // Links still joined to the Socket.IO stack, by their upgrade request
  // (which Socket.IO hands back as socket.request).
  const valves = new Map();
  let accepting = true;

  // engine.io listens for upgrades itself; taking its place lets a stopped
  // endpoint refuse the handshake and puts every link on a valve.
  httpServer.removeAllListeners('upgrade');
  httpServer.on('upgrade', (req, connection, head) => {
    // Clients reset connections all the time; 'close' follows and cleans up.
    connection.on('error', () => {});
    if (!req.url.startsWith(PATH)) return connection.destroy();
    if (!accepting) return connection.end(UNAVAILABLE);
    const valve = new Valve(connection);
    valves.set(req, valve);
    valve.on('close', () => valves.delete(req));
    return io.engine.handleUpgrade(req, valve, head);
  });

  io.use((socket, next) => {
    const account = state.accountForToken(socket.handshake.auth.token);
    if (!account) return next(new Error('Unauthorized'));
    socket.data.account = account;
    return next();
  });

  io.on('connection', (socket) => {
    // The launcher's "ping" heartbeat is recorded here like any event; it
    // expects no answer, so it needs no handler of its own.
    socket.onAny((event, ...args) => {
      state.socketEvents.push({ id: socket.id, email: socket.data.account.email, event, args });
    });
    socket.on('subscribe:tournament', (id) => {
      const valid = typeof id === 'string' && id !== '';
      if (valid) socket.join(TOURNAMENT_ROOM + id);
      socket.emit('tournament:subscribed', { tournamentId: String(id ?? ''), success: valid });
    });
    socket.on('unsubscribe:tournament', (id) => socket.leave(TOURNAMENT_ROOM + id));
  });

  return {
    // Connected, authenticated sockets, narrowed to an account and/or a tournament.
    sockets({ email, tournamentId } = {}) {
      return [...io.of('/').sockets.values()].filter((socket) =>
        (email === undefined || socket.data.account.email === email)
        && (tournamentId === undefined || socket.rooms.has(TOURNAMENT_ROOM + tournamentId)));
    },

    tournamentsOf(socket) {
      return [...socket.rooms].filter((room) => room.startsWith(TOURNAMENT_ROOM)).map((room) => room.slice(TOURNAMENT_ROOM.length));
    },

    // Engine.IO links open, with or without a Socket.IO session on them.
    linkCount() {
      return io.engine.clientsCount;
    },

    silence(socket) {
      valves.get(socket.request).cut();
    },

    stop() {
      accepting = false;
      for (const valve of valves.values()) valve.destroy();
    },

    start() {
      accepting = true;
    },
  };
}

module.exports = { attachRealtime };
