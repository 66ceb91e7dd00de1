// Talking to the program: one command word per POST, plain text back. The
// session cookie goes with every request of this page and no other.
'use strict';

VT.post = function (word) {
  return fetch('/' + word, { method: 'POST', credentials: 'same-origin', cache: 'no-store' })
    .then(function (response) {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      return response.text();
    });
};

// The status line: "length;fields". Null when the length does not match
// (a cut answer), so a broken line never reaches the display.
VT.parseStatus = function (text) {
  var cut = text.indexOf(';');
  if (cut < 1) return null;
  var length = parseInt(text.substring(0, cut), 10);
  var body = text.substring(cut + 1);
  if (body.length !== length) return null;
  var parts = body.split(';');
  if (parts.length < VT.STATUS.EXTRA) return null;
  var numbers = parts.slice(0, VT.STATUS.EXTRA).map(function (p) { return parseInt(p, 10); });
  return {
    valueCounters: numbers.slice(VT.STATUS.VALUE_COUNTERS, VT.STATUS.VALUE_COUNTERS + 8),
    state: numbers[VT.STATUS.STATE],
    colours: numbers.slice(VT.STATUS.COLOURS, VT.STATUS.COLOURS + 8),
    labelCounters: numbers.slice(VT.STATUS.LABEL_COUNTERS, VT.STATUS.LABEL_COUNTERS + 8),
    blocks: numbers[VT.STATUS.BLOCKS],
    runs: numbers[VT.STATUS.RUNS],
    extra: parts.slice(VT.STATUS.EXTRA)
  };
};
