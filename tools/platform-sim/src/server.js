'use strict';

const http = require('node:http');
const { SimulatorState } = require('./state');
const { handleApi } = require('./api');
const { handleControl } = require('./control');
const { handlePage } = require('./pages');
const { attachRealtime } = require('./realtime');
const { sendJson } = require('./http');

// The ping defaults are Socket.IO's own; tests shorten them to see a dead
// link detected in well under a second.
async function createSimulator({ host = '127.0.0.1', port = 0, pingInterval = 25000, pingTimeout = 20000 } = {}) {
  const state = new SimulatorState();
  let ownPort;

  async function route(req, res) {
    const url = new URL(req.url, 'http://simulator.invalid');
    if (url.pathname.startsWith('/api/')) return handleApi(state, req, res, url);
    if (url.pathname.startsWith('/__control/')) return handleControl(state, realtime, req, res, url);
    return handlePage(state, req, res, url, ownPort);
  }

  const server = http.createServer((req, res) => {
    route(req, res).catch((error) => {
      if (res.headersSent) res.destroy();
      else sendJson(res, 500, { message: `Simulator error: ${error.message}` });
    });
  });

  const realtime = attachRealtime(server, state, { pingInterval, pingTimeout });

  // Hanging overrides and silenced links keep sockets open for good, and
  // keep-alive clients hold idle ones; close() destroys them all so it can
  // never wait forever.
  const sockets = new Set();
  server.on('connection', (socket) => {
    sockets.add(socket);
    socket.on('close', () => sockets.delete(socket));
  });

  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => {
      server.off('error', reject);
      resolve();
    });
  });
  ownPort = server.address().port;

  let closing = null;
  function close() {
    closing ??= new Promise((resolve) => {
      server.close(() => resolve());
      for (const socket of sockets) socket.destroy();
    });
    return closing;
  }

  return { url: `http://${host}:${ownPort}`, port: ownPort, close };
}

module.exports = { createSimulator };
