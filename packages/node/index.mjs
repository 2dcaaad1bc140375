// The ES module face of the CommonJS package: one copy of the binding
// whichever way the package is loaded.
import quorvel from './index.js';

export const { isSupported, getVolume, setVolume, getMuted, setMuted, watch, QuorvelError } = quorvel;
export default quorvel;
