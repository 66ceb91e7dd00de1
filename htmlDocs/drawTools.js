// The state colours of the display fields.
'use strict';

// Colour states of the program: 0 none, 1 fine, 2 warning, 3 over the
// limit, 4 warning near the limit (blinks), 5 over the limit (blinks).
VT.colourClass = function (state) {
  switch (state) {
    case 1: return 'fine';
    case 2: return 'warn';
    case 3: return 'over';
    case 4: return 'warn blink';
    case 5: return 'over blink';
    default: return 'none';
  }
};

VT.setColour = function (tile, state) {
  var wanted = 'field ' + VT.colourClass(state);
  if (tile.className !== wanted) tile.className = wanted;
};
