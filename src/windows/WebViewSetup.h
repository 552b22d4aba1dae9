#pragma once

// Prepares the embedded web view. Must run before the application object is created.
void initializeWebView();
