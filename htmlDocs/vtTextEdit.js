// Texts reach the page only as text, never as markup, and only when they
// changed, so a steady display causes no layout work.
'use strict';

VT.setText = function (element, text) {
  if (element && element.textContent !== text) element.textContent = text;
};

VT.show = function (element, visible) {
  if (element) element.classList.toggle('hidden', !visible);
};

// A definition list of (label, value) rows, rebuilt only when a label changed.
VT.setRows = function (list, rows) {
  while (list.children.length > rows.length * 2) list.removeChild(list.lastChild);
  rows.forEach(function (row, i) {
    var dt = list.children[i * 2];
    if (!dt) {
      dt = document.createElement('dt');
      list.appendChild(dt);
      list.appendChild(document.createElement('dd'));
    }
    VT.setText(dt, row[0]);
    VT.setText(list.children[i * 2 + 1], String(row[1]));
  });
};
