// The calibration wizard's panel: its step, the measured figures and the
// remote buttons.
'use strict';

VT.buildKalPanel = function () {
  var box = document.getElementById('kalButtons');
  VT.setText(document.getElementById('kalTitle'), VT.T.kal);
  VT.addButton(box, VT.T.next, VT.CMD.KAL_NEXT).id = 'kalNext';
  VT.addButton(box, VT.T.repeat, VT.CMD.KAL_REPEAT).id = 'kalRepeat';
  VT.addButton(box, VT.T.cancel, VT.CMD.KAL_CANCEL).id = 'kalCancel';
};

VT.micName = function (id) {
  var name = VT.T.micNames[id & 0xff] || '';
  return id >= 256 ? name + VT.T.verification : name;
};

// extra: step, then crest factor x 10, level, remaining seconds and
// microphone, and on the warning step the warning text.
VT.updateKal = function (status) {
  var open = status.state === VT.STATE.CALIBRATION;
  VT.show(document.getElementById('kalPanel'), open);
  if (!open) return;
  var e = status.extra;
  var rows = [[VT.T.kalStep, e[0] || '']];
  if (e.length >= 5) {
    rows.push([VT.T.crest, (parseInt(e[1], 10) / 10).toFixed(1)]);
    rows.push([VT.T.level, e[2]]);
    rows.push([VT.T.remaining, e[3]]);
    rows.push([VT.T.mic, VT.micName(parseInt(e[4], 10))]);
  }
  VT.setRows(document.getElementById('kalValues'), rows);
  var warning = e.length > 5 ? e.slice(5).join(';') : '';
  var box = document.getElementById('kalWarning');
  VT.setText(box, warning);
  VT.show(box, warning !== '');
};
