// Buttons that send one command word each. A button is disabled while its
// command is on its way, so one click sends the command once.
'use strict';

VT.addButton = function (container, label, word) {
  var button = document.createElement('button');
  button.type = 'button';
  button.className = 'command';
  button.dataset.word = word;
  VT.setText(button, label);
  button.addEventListener('click', function () {
    if (button.disabled) return;
    button.disabled = true;
    VT.post(word).catch(function () {}).then(function () { button.disabled = false; });
  });
  container.appendChild(button);
  return button;
};
