'use strict';
// Where the package's own Quorvel.dll for this process lies. It is loaded
// by absolute path, never by bare name, so that no other Quorvel.dll on
// the search path can take its place.
const path = require('path');

// Inside Electron, files in app.asar are readable but not loadable: the
// packager unpacks the DLLs to app.asar.unpacked beside it.
function unpackedPath(file) {
  return file.replace(/([\\/])app\.asar(?=[\\/])/, '$1app.asar.unpacked');
}

function dllPath() {
  const file = path.join(__dirname, '..', 'bin', `win32-${process.arch}`, 'Quorvel.dll');
  return process.versions.electron === undefined ? file : unpackedPath(file);
}

module.exports = { dllPath, unpackedPath };
