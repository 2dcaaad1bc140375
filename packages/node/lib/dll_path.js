'use strict';
// Where the package's own DLLs (Quorvel.dll, QuorvelRelay.dll) for this
// process lie. They are loaded by absolute path, never by bare name, so
// that no other DLL of that name on the search path can take their place.
const path = require('path');

// Inside Electron, files in app.asar are readable but not loadable: the
// packager unpacks the DLLs to app.asar.unpacked beside it.
function unpackedPath(file) {
  return file.replace(/([\\/])app\.asar(?=[\\/])/, '$1app.asar.unpacked');
}

function dllPath(name) {
  const file = path.join(__dirname, '..', 'bin', `win32-${process.arch}`, name);
  return process.versions.electron === undefined ? file : unpackedPath(file);
}

module.exports = { dllPath, unpackedPath };
