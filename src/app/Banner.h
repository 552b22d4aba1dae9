#pragma once

// Logs the start-up banner with the effective configuration.
void printBanner();
