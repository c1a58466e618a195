// Appended to the compiled show's module (emcc --post-js): runShow(args)
// runs main and answers with its exit code once it has really returned. The
// show yields to the browser at every frame, so main returns to its caller
// long before it ends; the promise waits for the end.
Module['runShow'] = function(args) {
  var code = callMain(args);
  return Asyncify.currData ? Asyncify.whenDone() : Promise.resolve(code);
};
