'use strict';

const { Duplex } = require('node:stream');

// Socket.IO and Engine.IO close a link that stays quiet past the ping timeout,
// and nothing in them can keep a link open while sending nothing on it. So the
// WebSocket stack does not sit on the client's TCP connection directly but on
// this stream (ws accepts any Duplex) and cut() ends the stream as if the
// connection had dropped: the stack forgets the link at once, in its usual
// way, while the connection itself stays open, read and ignored, until the
// client closes it.
class Valve extends Duplex {
  constructor(connection) {
    super();
    this.connection = connection;
    this.isCut = false;
    connection.on('data', (chunk) => {
      if (!this.isCut && !this.push(chunk)) connection.pause();
    });
    connection.on('end', () => (this.isCut ? connection.destroy() : this.push(null)));
    connection.on('close', () => this.destroy());
  }

  cut() {
    this.isCut = true;
    // Keep reading, or the client's close would never be noticed.
    this.connection.resume();
    this.destroy();
  }

  _read() {
    this.connection.resume();
  }

  _write(chunk, encoding, callback) {
    this.connection.write(chunk, callback);
  }

  // Passing the end on lets the server close the TCP connection first after
  // a closing handshake, as a WebSocket server should.
  _final(callback) {
    this.connection.end();
    callback();
  }

  _destroy(error, callback) {
    if (!this.isCut) this.connection.destroy();
    callback(error);
  }
}

module.exports = { Valve };
