// Builds the eight display fields: label above, value and unit below.
'use strict';

VT.tiles = [];

VT.buildFields = function () {
  var holder = document.getElementById('fields');
  for (var i = 0; i < VT.FIELD_COUNT; i++) {
    var tile = document.createElement('div');
    tile.className = 'field none';
    tile.id = 'field' + i;
    var label = document.createElement('div');
    label.className = 'label';
    var line = document.createElement('div');
    line.className = 'valueLine';
    var value = document.createElement('span');
    value.className = 'value';
    var unit = document.createElement('span');
    unit.className = 'unit';
    line.appendChild(value);
    line.appendChild(unit);
    tile.appendChild(label);
    tile.appendChild(line);
    holder.appendChild(tile);
    VT.tiles.push({ tile: tile, label: label, value: value, unit: unit });
  }
};
