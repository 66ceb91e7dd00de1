// Fills the display fields: only fields whose counters changed are fetched.
'use strict';

VT.seen = { values: [], labels: [], runs: null };

// A field's value text is "value;unit".
VT.showValue = function (i, text) {
  var cut = text.indexOf(';');
  VT.setText(VT.tiles[i].value, cut < 0 ? text : text.substring(0, cut));
  VT.setText(VT.tiles[i].unit, cut < 0 ? '' : text.substring(cut + 1));
};

VT.updateFields = function (status) {
  var requests = [];
  for (var i = 0; i < VT.FIELD_COUNT; i++) {
    VT.setColour(VT.tiles[i].tile, status.colours[i]);
    if (VT.seen.values[i] !== status.valueCounters[i]) {
      VT.seen.values[i] = status.valueCounters[i];
      requests.push(VT.post(VT.CMD.VALUE + i).then(VT.showValue.bind(null, i)));
    }
    if (VT.seen.labels[i] !== status.labelCounters[i]) {
      VT.seen.labels[i] = status.labelCounters[i];
      requests.push(VT.post(VT.CMD.LABEL + i).then(VT.setText.bind(null, VT.tiles[i].label)));
    }
  }
  if (VT.seen.runs !== status.runs) {
    VT.seen.runs = status.runs;
    requests.push(VT.post(VT.CMD.HEADER).then(function (name) {
      VT.setText(document.getElementById('eventName'), name === '---' ? '' : name);
    }));
  }
  return Promise.all(requests).catch(function (error) {
    // Fetch again at the next poll.
    VT.seen.values = [];
    VT.seen.labels = [];
    VT.seen.runs = null;
    throw error;
  });
};

VT.updateStatus = function (status) {
  VT.setText(document.getElementById('statusText'), VT.T.state[status.state] || '');
  VT.setText(document.getElementById('blockText'),
             status.state === VT.STATE.MEASURING ? VT.T.blocks + status.blocks : '');
  var searching = status.state === VT.STATE.SEARCH || status.state === VT.STATE.SEARCH_SIGNAL;
  VT.show(document.getElementById('searchPanel'), searching);
  if (searching) {
    VT.show(VT.searchButtons.on, status.state === VT.STATE.SEARCH);
    VT.show(VT.searchButtons.off, status.state === VT.STATE.SEARCH_SIGNAL);
  }
};

VT.buildSearchPanel = function () {
  var box = document.getElementById('searchButtons');
  VT.setText(document.getElementById('searchTitle'), VT.T.search);
  VT.searchButtons = {
    on: VT.addButton(box, VT.T.pinkOn, VT.CMD.PINK_ON),
    off: VT.addButton(box, VT.T.pinkOff, VT.CMD.PINK_OFF),
    reset: VT.addButton(box, VT.T.peakReset, VT.CMD.PEAK_RESET)
  };
};
