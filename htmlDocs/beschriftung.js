// The page's texts in English and German; the browser's language chooses.
'use strict';

VT.TEXTS = {
  en: {
    state: ['Idle', 'Loudest-location search', 'Measuring', 'Calibration', 'Search with test signal',
            'Correction measurement', 'Idle'],
    blocks: 'Blocks: ', day: 'Day', night: 'Night', offline: 'No connection', online: '',
    search: 'Loudest-location search', pinkOn: 'Test signal on', pinkOff: 'Test signal off',
    peakReset: 'Reset maxima',
    kal: 'Calibration', next: 'Next', cancel: 'Cancel', repeat: 'Repeat',
    kalStep: 'Step', crest: 'Crest factor', level: 'Level', remaining: 'Remaining s', mic: 'Microphone',
    micNames: ['none', 'measuring', 'reference'], verification: ' (verification)',
    kor: 'Correction measurement', korStep: 'Step ', levelUp: 'Level +', levelDown: 'Level -',
    noiseOn: 'Noise on', noiseOff: 'Noise off', signal: 'Own signal: ', seconds: 'Remaining s: ',
    outLevel: 'Output level: '
  },
  de: {
    state: ['Bereit', 'Suche nach der lautesten Stelle', 'Messung läuft', 'Kalibrierung',
            'Suche mit Testsignal', 'Korrekturmessung', 'Bereit'],
    blocks: 'Blöcke: ', day: 'Tag', night: 'Nacht', offline: 'Keine Verbindung', online: '',
    search: 'Suche nach der lautesten Stelle', pinkOn: 'Testsignal ein', pinkOff: 'Testsignal aus',
    peakReset: 'Maxima zurücksetzen',
    kal: 'Kalibrierung', next: 'Weiter', cancel: 'Abbrechen', repeat: 'Wiederholen',
    kalStep: 'Schritt', crest: 'Crestfaktor', level: 'Pegel', remaining: 'Rest s', mic: 'Mikrofon',
    micNames: ['keines', 'Messmikrofon', 'Referenz'], verification: ' (Überprüfung)',
    kor: 'Korrekturmessung', korStep: 'Schritt ', levelUp: 'Pegel +', levelDown: 'Pegel -',
    noiseOn: 'Rauschen ein', noiseOff: 'Rauschen aus', signal: 'Eigenes Signal: ', seconds: 'Rest s: ',
    outLevel: 'Ausgangspegel: '
  }
};

VT.T = (navigator.language || 'en').toLowerCase().indexOf('de') === 0 ? VT.TEXTS.de : VT.TEXTS.en;
