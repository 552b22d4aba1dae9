'use strict';

const { ACCOUNTS, defaultNotifications, newToken } = require('./accounts');

// Everything one simulator instance remembers. Tokens live outside reset()
// on purpose: a test may reset between steps while the launcher keeps its
// session, and that session must not silently expire.
class SimulatorState {
  constructor() {
    this.tokens = new Map();
    this.reset();
  }

  reset() {
    this.liveGame = null;
    this.notifications = new Map(ACCOUNTS.map((account) => [account.id, defaultNotifications(account)]));
    this.overrides = [];
    this.requestLog = [];
  }

  issueToken(account) {
    const token = newToken();
    this.tokens.set(token, account);
    return token;
  }

  accountForToken(token) {
    return this.tokens.get(token) ?? null;
  }

  // The first queued override that applies wins, so overrides for different
  // paths can be queued side by side without disturbing each other's order.
  takeOverride(path) {
    const index = this.overrides.findIndex((override) => override.path === undefined || override.path === path);
    return index < 0 ? null : this.overrides.splice(index, 1)[0];
  }
}

module.exports = { SimulatorState };
