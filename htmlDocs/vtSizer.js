// The values are read from a distance: their size follows the tile width.
'use strict';

VT.sizeFields = function () {
  VT.tiles.forEach(function (t) {
    var size = Math.max(24, Math.min(120, t.tile.clientWidth / 5));
    t.value.style.fontSize = size + 'px';
    t.unit.style.fontSize = (size / 3) + 'px';
    t.label.style.fontSize = Math.max(12, size / 4) + 'px';
  });
};

VT.watchSize = function () {
  var pending = false;
  window.addEventListener('resize', function () {
    if (pending) return;
    pending = true;
    window.requestAnimationFrame(function () {
      pending = false;
      VT.sizeFields();
    });
  });
  VT.sizeFields();
};
