// The correction wizard's panel, shown while its remote control is on.
'use strict';

VT.buildKorPanel = function () {
  var box = document.getElementById('korButtons');
  VT.setText(document.getElementById('korTitle'), VT.T.kor);
  VT.addButton(box, VT.T.next, VT.CMD.KOR_NEXT);
  VT.addButton(box, VT.T.repeat, VT.CMD.KOR_REPEAT);
  VT.addButton(box, VT.T.levelUp, VT.CMD.KOR_UP);
  VT.addButton(box, VT.T.levelDown, VT.CMD.KOR_DOWN);
  VT.addButton(box, VT.T.noiseOn, VT.CMD.NOISE_ON);
  VT.addButton(box, VT.T.noiseOff, VT.CMD.NOISE_OFF);
  VT.addButton(box, VT.T.cancel, VT.CMD.KOR_CANCEL);
};

VT.korExtraText = function (step, entry) {
  switch (VT.KOR_EXTRA[step]) {
    case 'signal': return VT.T.signal + entry;
    case 'seconds': return VT.T.seconds + entry;
    case 'level': return VT.T.outLevel + entry;
    case 'text': case 'duration': case 'locations': return entry;
    default: return '';
  }
};

// extra: step;A;C;Z;[entry]
VT.updateKor = function (status) {
  var e = status.extra;
  var open = status.state === VT.STATE.CORRECTION && e.length >= 4;
  VT.show(document.getElementById('korPanel'), open);
  if (!open) return;
  var step = parseInt(e[0], 10);
  var scale = VT.KOR_WHOLE_DB_STEPS.indexOf(step) >= 0 ? 1 : 10;
  var level = function (text) { return (parseInt(text, 10) / scale).toFixed(scale === 1 ? 0 : 1); };
  VT.setText(document.getElementById('korStep'), VT.T.korStep + step);
  VT.setRows(document.getElementById('korValues'), [['A', level(e[1])], ['C', level(e[2])], ['Z', level(e[3])]]);
  VT.setText(document.getElementById('korInfo'), VT.korExtraText(step, e.slice(4).join(';').replace(/;$/, '')));
};
