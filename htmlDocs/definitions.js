// Shared constants of the Veltaro web display.
'use strict';
var VT = window.VT || {};
window.VT = VT;

VT.FIELD_COUNT = 8;
VT.POLL_MS = 250;

// Measurement states of the status line.
VT.STATE = {
  IDLE: 0, SEARCH: 1, MEASURING: 2, CALIBRATION: 3, SEARCH_SIGNAL: 4, CORRECTION: 5, LOGO: 6
};

// Positions in the status line after its length prefix.
VT.STATUS = {
  VALUE_COUNTERS: 0, STATE: 8, COLOURS: 9, LABEL_COUNTERS: 17, BLOCKS: 25, RUNS: 26, EXTRA: 27
};

// Command words of the program.
VT.CMD = {
  STATUS: 'GETSTATUS', VALUE: 'GETWERT', LABEL: 'GETLABEL', HEADER: 'GETHEADER',
  PINK_ON: 'STARTPINK', PINK_OFF: 'STOPPINK', PEAK_RESET: 'PEAKRESET',
  KAL_NEXT: 'KALNEXT', KAL_CANCEL: 'KALCANCEL', KAL_REPEAT: 'KALREPEAT',
  KOR_NEXT: 'KORNEXT', KOR_CANCEL: 'KORCANCEL', KOR_UP: 'KORVPLUS', KOR_DOWN: 'KORVMINUS',
  NOISE_ON: 'INOISEON', NOISE_OFF: 'INOISEOFF', KOR_REPEAT: 'KORREPEAT'
};
