// The page around the show: it fetches and unpacks the data (or takes a
// folder of the viewer's own), has the browser decode the soundtrack, shows
// the start screen, and starts the show, compiled from the same C++ as the
// native one, in a fresh instance for every viewing. The show draws on the
// canvas and plays through Web Audio by itself (platform/web/).
//
// URL parameters: start=SECONDS, audio-offset=MS (as the native options),
// silent=1 (no sound, paced as if heard), play=1 (no start screen where the
// browser allows sound without a gesture), hold=1 (the start moment drawn at
// once and held, silent, the picture filling the viewport: for screenshots),
// marks=1 (a console line per mark of the score, as velmora-trailer-tool
// sync prints them), bench=1 (silent, frames back to back, each waited for
// to the last pixel; at the end a line of frame times per scene). Console:
// "velmora: first frame at N ms" (from the start of the viewing),
// "velmora: ended (exit N)".
'use strict';

(() => {
  const params = new URLSearchParams(location.search);
  const flag = (name) => params.get(name) === '1';
  const page = {
    hold: flag('hold'),
    play: flag('play'),
    silent: flag('silent') || flag('hold') || flag('bench'),
    marks: flag('marks'),
    bench: flag('bench'),
    start: params.get('start'),
    audioOffset: params.get('audio-offset'),
  };
  const kRate = 44100;  // the show's output rate, and its decode's
  const kDefaultFolder = '/show';
  const kOwnFolder = '/own';
  const kSoundtrack = /^trailerlow\.mp3$/i;

  const $ = (id) => document.getElementById(id);
  const log = (text) => console.log('velmora: ' + text);
  const setStatus = (text) => { $('status').textContent = text; };

  // ---------------------------------------------------------------------
  // Dialogs: the show's message boxes, one after another
  // ---------------------------------------------------------------------
  const dialogs = [];
  function showNextDialog() {
    const dialog = $('dialog');
    if (dialog.open || dialogs.length === 0) return;
    const [title, text] = dialogs.shift();
    $('dialog-title').textContent = title;
    $('dialog-text').textContent = text;
    dialog.showModal();
  }
  $('dialog').addEventListener('close', showNextDialog);
  function showDialog(title, text) {
    console.log('velmora: box "' + title + '": ' + text);
    dialogs.push([title, text]);
    showNextDialog();
  }

  // ---------------------------------------------------------------------
  // The data
  // ---------------------------------------------------------------------
  async function inflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // The TGA rows as they were before the packer filtered them (PNG's five
  // filters, a byte before each row says which).
  function unfilterTga(packed, size) {
    const out = new Uint8Array(size);
    const pixelBytes = packed[16] / 8, width = packed[12] | packed[13] << 8, height = packed[14] | packed[15] << 8;
    const start = 18 + packed[0], row = width * pixelBytes;
    out.set(packed.subarray(0, start));
    let from = start, to = start;
    for (let y = 0; y < height; ++y, from += row + 1, to += row) {
      const filter = packed[from];
      for (let i = 0; i < row; ++i) {
        const a = i >= pixelBytes ? out[to + i - pixelBytes] : 0, b = y > 0 ? out[to + i - row] : 0;
        const c = y > 0 && i >= pixelBytes ? out[to + i - row - pixelBytes] : 0;
        let predicted = 0;
        if (filter === 1) predicted = a;
        else if (filter === 2) predicted = b;
        else if (filter === 3) predicted = (a + b) >> 1;
        else if (filter === 4) {
          const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
          predicted = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
        }
        out[to + i] = (packed[from + 1 + i] + predicted) & 255;
      }
    }
    return out;
  }

  // The default data: name (as the show names it under its data folder) to bytes.
  async function fetchDefaultData() {
    const [index, pack] = await Promise.all([
      fetch('data.json').then((r) => r.json()),
      fetch('data.bin').then((r) => r.arrayBuffer()),
    ]);
    const files = new Map();
    await Promise.all(index.files.map(async (entry) => {
      let bytes = new Uint8Array(pack, entry.offset, entry.length);
      if (entry.method === 'deflate') bytes = await inflate(bytes);
      if (entry.filter === 'tga') bytes = unfilterTga(bytes, entry.size);
      files.set(entry.name, bytes);
    }));
    return files;
  }

  // A folder of the viewer's own, from the folder picker or a drop: its files
  // by their path inside it. Nothing is sent anywhere.
  async function readPickedFiles(fileList) {
    const files = new Map();
    let folder = '';
    for (const file of fileList) {
      const parts = (file.webkitRelativePath || file.name).split('/');
      folder = parts.length > 1 ? parts[0] : folder;
      files.set(parts.slice(parts.length > 1 ? 1 : 0).join('/'), new Uint8Array(await file.arrayBuffer()));
    }
    return {name: folder, files};
  }

  async function readDroppedEntry(entry, path, files) {
    if (entry.isFile) {
      const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
      files.set(path + file.name, new Uint8Array(await file.arrayBuffer()));
    } else if (entry.isDirectory) {
      const reader = entry.createReader();
      for (;;) {
        const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
        if (batch.length === 0) break;
        for (const child of batch) await readDroppedEntry(child, path + entry.name + '/', files);
      }
    }
  }

  // ---------------------------------------------------------------------
  // The soundtrack, decoded by the browser
  // ---------------------------------------------------------------------

  // The sampling rate of the first MPEG audio frame, or 0.
  function mpegRate(bytes) {
    const rates = [[11025, 12000, 8000], [0, 0, 0], [22050, 24000, 16000], [44100, 48000, 32000]];
    let at = 0;
    if (bytes[0] === 0x49 && bytes[1] === 0x44 && bytes[2] === 0x33) {  // an ID3v2 tag first
      at = 10 + ((bytes[6] & 127) << 21 | (bytes[7] & 127) << 14 | (bytes[8] & 127) << 7 | (bytes[9] & 127));
    }
    for (; at + 3 < bytes.length; ++at) {
      if (bytes[at] !== 0xFF || (bytes[at + 1] & 0xE0) !== 0xE0) continue;
      const version = (bytes[at + 1] >> 3) & 3, index = (bytes[at + 2] >> 2) & 3;
      if (version !== 1 && index !== 3 && rates[version][index]) return rates[version][index];
    }
    return 0;
  }

  // Frames of silence the page puts in front of the browser's decode so that
  // its samples sit where the show's own decoder puts them (the marks count
  // from its first decoded sample, the encoder's delay included). Chromium's
  // decode of the default soundtrack starts on that very sample: the same
  // 5,954,688 frames, lag 0 against the native decode at 2, 60.5 and 131 s
  // (tests/web/page_checks.py checks it with soundcheck match).
  const kDecoderDelayFrames = 0;

  async function decodeSoundtrack(bytes) {
    const context = new OfflineAudioContext(2, 1, kRate);
    try {
      const buffer = await context.decodeAudioData(bytes.slice().buffer);
      const frames = buffer.length + kDecoderDelayFrames;
      const left = new Float32Array(frames), right = new Float32Array(frames);
      left.set(buffer.getChannelData(0), kDecoderDelayFrames);
      right.set(buffer.getChannelData(buffer.numberOfChannels > 1 ? 1 : 0), kDecoderDelayFrames);
      return {rate: kRate, fileRate: mpegRate(bytes), left, right};
    } catch (error) {
      return {rate: kRate, fileRate: 0, error: String(error)};
    }
  }

  // ---------------------------------------------------------------------
  // A viewing: a fresh instance of the show
  // ---------------------------------------------------------------------
  let data = null;            // {folder, files, soundtrack: name, sound}
  let bakedGlyphs = null;     // the outline glyphs the build baked: the program's, not the data's
  let running = false;
  let viewingStart = 0;

  function freshCanvas() {
    const old = $('canvas');
    const canvas = document.createElement('canvas');
    canvas.id = 'canvas';
    old.replaceWith(canvas);
    fitCanvas(canvas);
    return canvas;
  }

  // The canvas has the viewport's size in device pixels: the show draws its
  // 4:3 picture between black bars there, as in a window.
  function fitCanvas(canvas) {
    const scale = window.devicePixelRatio || 1;
    canvas.width = Math.max(1, Math.round(canvas.clientWidth * scale));
    canvas.height = Math.max(1, Math.round(canvas.clientHeight * scale));
  }
  window.addEventListener('resize', () => fitCanvas($('canvas')));

  function writeFolder(FS, folder, files) {
    const made = new Set();
    const makeFolder = (path) => {
      if (made.has(path)) return;
      made.add(path);
      try { FS.mkdir(path); } catch (e) { /* there already */ }
    };
    makeFolder(folder);
    for (const [name, bytes] of files) {
      const parts = name.split('/');
      for (let i = 1; i < parts.length; ++i) makeFolder(folder + '/' + parts.slice(0, i).join('/'));
      FS.writeFile(folder + '/' + name, bytes);
    }
  }

  function showArguments() {
    const args = ['--window', '--data', data.folder];
    if (page.start !== null) args.push('--start', page.start);
    if (page.audioOffset !== null) args.push('--audio-offset', page.audioOffset);
    if (page.silent) args.push('--silent');
    return args;
  }

  async function startShow() {
    if (running || !data) return;
    running = true;
    $('start').hidden = true;
    $('fullscreen').hidden = page.hold;
    viewingStart = performance.now();
    // Sound needs this gesture: the context is made now, before anything awaits.
    const audioContext = page.silent ? null : new AudioContext({sampleRate: kRate, latencyHint: 'playback'});
    const canvas = freshCanvas();
    let presents = 0;
    const decodedSounds = {};
    if (data.sound) decodedSounds[data.folder + '/' + data.soundtrack] = data.sound;
    const bench = page.bench ? frameTimes() : null;
    const show = await VelmoraTrailer({
      canvas,
      audioContext,
      decodedSounds,
      showDialog,
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
      // The loading screen is the first picture presented; the show's own
      // frames follow.
      onPresent: () => {
        if (++presents === 2) log('first frame at ' + Math.round(performance.now() - viewingStart) + ' ms');
        if (bench && presents > 1) bench.presented(show);
      },
      unpaced: bench ? bench.unpaced : null,
      preRun: [(module) => {
        writeFolder(module.FS, data.folder, data.files);
        if (bakedGlyphs) writeFolder(module.FS, '/velmora', new Map([['glyphs.bin', bakedGlyphs]]));
        if (page.hold) module.ENV.TRAILER_HOLD = '1';
      }],
    });
    if (page.marks) watchMarks(show);
    const code = await show.runShow(showArguments());
    if (bench) bench.report(show);
    if (audioContext) audioContext.close();
    log('ended (exit ' + code + ')');
    running = false;
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    $('fullscreen').hidden = true;
    if (!page.hold) showStartScreen();
  }

  // marks=1: when the position crossed each mark of the score, on the page's
  // clock (performance.timeOrigin + performance.now(): milliseconds since the
  // epoch, comparable with a recorder's wall clock), found between two reads
  // an animation frame apart, where the position runs straight; and what the
  // demo clock read then.
  function watchMarks(show) {
    const marks = [];
    for (let i = 0; i < show._velmora_mark_count(); ++i) marks.push(show._velmora_mark(i));
    let next = 0, last = null;
    const read = () => ({at: performance.timeOrigin + performance.now(), position: show._velmora_position() >>> 0,
                         clock: show._velmora_clock()});
    const step = () => {
      if (!running || next >= marks.length) return;
      const now = read();
      while (last && next < marks.length && marks[next] <= now.position) {
        const mark = marks[next++];
        if (mark <= last.position || now.position === last.position) continue;  // passed before or at a jump
        const f = (mark - last.position) / (now.position - last.position);
        log('mark ' + mark + ' at ' + (mark / show._velmora_bytes_per_second()).toFixed(3) + ' s: crossed at ' +
            (last.at + f * (now.at - last.at)).toFixed(3) + ' ms since the epoch, clock ' +
            (last.clock + f * (now.clock - last.clock)).toFixed(2) + ' ms');
      }
      if (!last) while (next < marks.length && marks[next] <= now.position) ++next;
      last = now;
      requestAnimationFrame(step);
    };
    requestAnimationFrame(step);
  }

  // bench=1: the time of each frame from the moment the show goes on to the
  // moment its last pixel is drawn (a one-pixel read waits for that), by
  // scene, as velmora-trailer-tool bench gives them natively.
  function frameTimes() {
    const channel = new MessageChannel();
    let wokeAt = 0;
    const times = [[], [], [], [], [], []];
    return {
      unpaced: (wakeUp) => {
        channel.port2.onmessage = () => { wokeAt = performance.now(); wakeUp(); };
        channel.port1.postMessage(0);
      },
      presented: (show) => {
        const gl = show.ctx;
        if (gl) gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, new Uint8Array(4));
        const position = show._velmora_position() >>> 0;
        let scene = -1;
        for (let i = 0; i < 5; ++i) {
          if (position >= show._velmora_scene_start(i) && position < show._velmora_scene_start(i + 1)) scene = i;
        }
        if (wokeAt && scene >= 0) times[scene].push(performance.now() - wokeAt);
      },
      report: () => {
        const names = ['title', 'hand', 'castle', 'flight', 'credits'];
        for (let i = 0; i < 5; ++i) {
          const t = times[i].slice().sort((a, b) => a - b);
          if (!t.length) continue;
          const mean = t.reduce((a, b) => a + b, 0) / t.length;
          log('frame times ' + names[i] + ': ' + t.length + ' frames, mean ' + mean.toFixed(2) + ' ms, median ' +
              t[t.length >> 1].toFixed(2) + ' ms, p99 ' + t[Math.min(t.length - 1, Math.floor(t.length * 0.99))]
                  .toFixed(2) + ' ms, first ' + times[i][0].toFixed(2) + ' ms');
        }
      },
    };
  }

  function showStartScreen() {
    $('start').hidden = false;
    setStatus(data ? '' : 'loading\u2026');
  }

  async function useData(folder, files) {
    let soundtrack = null;
    for (const name of [...files.keys()].sort()) {
      if (!name.includes('/') && kSoundtrack.test(name)) { soundtrack = name; break; }
    }
    data = {folder, files, soundtrack, sound: null};
    if (soundtrack) data.sound = await decodeSoundtrack(files.get(soundtrack));
  }

  async function takeOwnFolder(picked) {
    if (running) return;
    const {name, files} = picked;
    const hasSoundtrack = [...files.keys()].some((n) => !n.includes('/') && kSoundtrack.test(n));
    if (!hasSoundtrack) {
      showDialog('Velmora One, The Trailer',
                 (name || 'That folder') + ' holds no TrailerLOW.mp3, so it is not a data folder.');
      return;
    }
    setStatus('reading ' + (name || 'the folder') + '\u2026');
    await useData(kOwnFolder, files);
    setStatus('ready: ' + (name || 'your folder') + '. Click or press a key to play.');
    log('ready: ' + (name || 'a folder of your own'));
  }

  // ---------------------------------------------------------------------
  // Wiring
  // ---------------------------------------------------------------------
  $('folder').addEventListener('change', async (event) => {
    await takeOwnFolder(await readPickedFiles(event.target.files));
    event.target.value = '';
  });
  $('folder').addEventListener('click', (event) => event.stopPropagation());
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', async (event) => {
    event.preventDefault();
    const items = [...event.dataTransfer.items].map((item) => item.webkitGetAsEntry()).filter(Boolean);
    const files = new Map();
    let name = '';
    for (const entry of items) {
      if (entry.isDirectory) {
        name = entry.name;
        const inside = new Map();
        await readDroppedEntry(entry, '', inside);
        for (const [path, bytes] of inside) files.set(path.slice(entry.name.length + 1), bytes);
      } else {
        await readDroppedEntry(entry, '', files);
      }
    }
    await takeOwnFolder({name, files});
  });
  $('start').addEventListener('click', (event) => {
    if (event.target.closest('.folder')) return;
    startShow();
  });
  document.addEventListener('keydown', (event) => {
    if (!running && !$('start').hidden && !$('dialog').open && !event.repeat) startShow();
  });
  $('fullscreen').addEventListener('click', () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else $('frame').requestFullscreen().catch(() => {});
  });

  (async () => {
    if (!page.hold) showStartScreen();
    const files = await fetchDefaultData();
    bakedGlyphs = files.get('glyphs.bin');
    files.delete('glyphs.bin');
    if (!data) await useData(kDefaultFolder, files);
    log('ready');
    if (page.hold || page.play || page.bench) startShow();
    else setStatus('');
  })();
})();
