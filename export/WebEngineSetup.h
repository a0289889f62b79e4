#pragma once

// What the HTML preview's browser engine needs: no sandbox when run as
// root (the engine refuses to start otherwise) and no GPU without a
// display. Settings the user has made in the environment are kept.

// Before the application object is created, in a program that links the
// engine from its start (the tests of the export window): the above, and
// GL contexts shared with the toolkit.
void prepareWebEngine();

// In the export module, before its first window: the engine is loaded
// late, long after the application object was created.
void startWebEngine();
