#pragma once

// What the HTML preview's browser engine needs before the application
// object is created: no sandbox when run as root (the engine refuses to
// start otherwise), no GPU without a display, and GL contexts shared with
// the toolkit. Settings the user has made in the environment are kept.
void prepareWebEngine();
