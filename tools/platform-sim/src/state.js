'use strict';

const crypto = require('node:crypto');
const { ACCOUNTS, defaultNotifications, newToken, accountForToken } = require('./accounts');
const { DashboardQueue } = require('./dashboard');

// Everything one simulator instance remembers. Tokens are not part of it:
// they are signed (accounts.js), so neither reset() nor a restart ends a
// launcher's session.
class SimulatorState {
  constructor() {
    // Tells this run's dashboard message numbers from another run's.
    this.instance = crypto.randomUUID();
    this.dashboard = new DashboardQueue();
    this.reset();
  }

  reset() {
    this.liveGame = null;
    this.notifications = new Map(ACCOUNTS.map((account) => [account.id, defaultNotifications(account)]));
    this.overrides = [];
    this.requestLog = [];
    this.socketEvents = [];
    this.match = null;
    this.dashboard.clear();
  }

  issueToken(account) {
    return newToken(account);
  }

  accountForToken(token) {
    return accountForToken(token);
  }

  // Anything not explicitly marked read counts as unread, so a malformed
  // notification set through control still shows up in the badge.
  unreadCount(account) {
    return this.notifications.get(account.id).filter((n) => n?.read !== true).length;
  }

  // The first queued override that applies wins, so overrides for different
  // paths can be queued side by side without disturbing each other's order.
  takeOverride(path) {
    const index = this.overrides.findIndex((override) => override.path === undefined || override.path === path);
    return index < 0 ? null : this.overrides.splice(index, 1)[0];
  }
}

module.exports = { SimulatorState };
