// Starts the page and polls the program's status four times a second.
'use strict';

VT.poll = function () {
  VT.post(VT.CMD.STATUS)
    .then(function (text) {
      var status = VT.parseStatus(text);
      if (!status) throw new Error('bad status line');
      VT.setText(document.getElementById('linkState'), VT.T.online);
      VT.updateStatus(status);
      VT.updateKal(status);
      VT.updateKor(status);
      return VT.updateFields(status);
    })
    .catch(function () {
      VT.setText(document.getElementById('linkState'), VT.T.offline);
    })
    .then(function () {
      window.setTimeout(VT.poll, VT.POLL_MS);
    });
};

document.addEventListener('DOMContentLoaded', function () {
  VT.buildFields();
  VT.buildSearchPanel();
  VT.buildKalPanel();
  VT.buildKorPanel();
  VT.buildMenu();
  VT.watchSize();
  VT.poll();
});
