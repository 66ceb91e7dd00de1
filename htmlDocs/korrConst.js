// The correction wizard's steps as its state text reports them.
'use strict';

// Steps whose state text carries one more entry after the three numbers,
// and what that entry is.
VT.KOR_EXTRA = {
  1: 'text', 6: 'text', 32: 'text',
  4: 'signal', 20: 'signal',
  5: 'seconds', 8: 'seconds', 26: 'seconds', 35: 'seconds',
  11: 'level', 19: 'level',
  24: 'duration',
  30: 'locations'
};

// Steps whose three numbers are the measured levels in tenths of a dB
// (all others but 8 and 26, which give them in whole dB).
VT.KOR_WHOLE_DB_STEPS = [8, 26];
