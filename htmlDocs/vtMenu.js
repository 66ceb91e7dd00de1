// Day and night colours; the choice stays with the browser.
'use strict';

VT.applyScheme = function (scheme) {
  document.body.classList.toggle('day', scheme === 'day');
  document.body.classList.toggle('night', scheme !== 'day');
  document.getElementById('logo').src = scheme === 'day' ? 'dayLogo.svg' : 'nightLogo.svg';
  VT.setText(document.getElementById('dayNight'), scheme === 'day' ? VT.T.night : VT.T.day);
};

VT.currentScheme = function () {
  var match = /[?&]scheme=(day|night)/.exec(location.search);
  if (match) return match[1];
  try { return localStorage.getItem('vtScheme') || 'night'; } catch (e) { return 'night'; }
};

VT.buildMenu = function () {
  VT.applyScheme(VT.currentScheme());
  document.getElementById('dayNight').addEventListener('click', function () {
    var next = document.body.classList.contains('day') ? 'night' : 'day';
    try { localStorage.setItem('vtScheme', next); } catch (e) { /* private mode: not kept */ }
    VT.applyScheme(next);
  });
};
