// Programs of the web build run under node on the real file system; they take node's
// environment (HOME, XDG_*, LANG, the tests' variables) as a native program takes its own,
// instead of the fixed one emscripten would give them.
Module['preRun'] = [].concat(Module['preRun'] || [], function () {
  if (typeof ENV === 'object' && typeof process === 'object') Object.assign(ENV, process.env);
});
