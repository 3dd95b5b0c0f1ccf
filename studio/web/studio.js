// Vellumar Studio's page: the panel drawn from the host toolkit's state, the
// scene in three.js, and every user action sent back as the panel script's
// own line. The page keeps no settings of its own: what it shows is what the
// host says.
(function () {
  'use strict';
  const token = new URLSearchParams(location.search).get('t') || '';
  const q = (path) => path + (path.includes('?') ? '&' : '?') + 't=' + encodeURIComponent(token);
  const $ = (sel) => document.querySelector(sel);

  const studio = {
    ready: false, panel: null, sceneVersion: -1, loadedVersion: -1, nodes: [], selection: [],
    group: [], channel: 1, messages: [], errors: [], roundTrips: 0, lastState: 0,
  };
  window.studio = studio;

  // ---------------------------------------------------------------- socket
  const ws = new WebSocket('ws://' + location.host + '/ws?t=' + encodeURIComponent(token));
  let pendingSince = 0;
  function send(text) {
    if (ws.readyState === WebSocket.OPEN) {
      pendingSince = performance.now();
      ws.send(text);
    }
  }
  const act = (line) => send('act ' + line);
  studio.act = act;
  ws.onmessage = (e) => {
    const m = JSON.parse(e.data);
    switch (m.type) {
      case 'state':
        studio.panel = m.panel;
        studio.lastState = performance.now();
        if (pendingSince) { studio.roundTrip = studio.lastState - pendingSince; pendingSince = 0; }
        drawPanel(m.panel);
        break;
      case 'nodes':
        studio.nodes = m.nodes; studio.selection = m.selection; studio.group = m.group;
        studio.channel = m.channel;
        drawOutliner(); showSelection(); drawUV();
        if (view.mode === 'checker') applyMode();
        break;
      case 'scene':
        studio.sceneVersion = m.version;
        $('#scenestate').textContent = m.dirty ? '● unsaved changes' : '';
        loadScene();
        break;
      case 'progress': showProgress(m); break;
      case 'message': studio.messages.push(m); messageBox(m); break;
      case 'note': toast(m.text, false); break;
      case 'error': studio.errors.push(m.text); toast(m.text, true); quitAfterSave = false; break;
      case 'saved': toast('Saved ' + m.path, false); if (quitAfterSave) send('quit'); break;
      case 'confirmQuit': $('#confirm').hidden = false; break;
      case 'quit': $('#ended').hidden = false; ws.close(); break;
    }
  };
  ws.onclose = () => { $('#ended').hidden = false; };

  function toast(text, isError) {
    const li = document.createElement('li');
    li.textContent = text;
    if (isError) li.className = 'error';
    $('#toasts').appendChild(li);
    setTimeout(() => li.remove(), isError ? 9000 : 6000);
  }

  // The host's message boxes, one at a time, each until its OK. The host
  // went on already: they tell, they do not ask.
  const boxes = [];
  function messageBox(m) {
    boxes.push(m);
    if (boxes.length === 1) showBox();
  }
  function showBox() {
    const m = boxes[0];
    $('#msgbox').hidden = !m;
    if (!m) return;
    $('#msgbox .caption').textContent = m.caption;
    $('#msgbox .text').textContent = m.text;
    $('#msgbox .ok').focus();
  }
  $('#msgbox .ok').addEventListener('click', () => { boxes.shift(); showBox(); });

  // ---------------------------------------------------------------- tooltips
  const tip = document.createElement('div');
  tip.id = 'tip'; tip.hidden = true; document.body.appendChild(tip);
  document.addEventListener('mouseover', (e) => {
    const el = e.target.closest('[data-tip]');
    if (!el) { tip.hidden = true; return; }
    tip.textContent = el.dataset.tip; tip.hidden = false;
    const r = el.getBoundingClientRect();
    tip.style.left = Math.min(r.left, innerWidth - 260) + 'px'; tip.style.top = (r.bottom + 4) + 'px';
  });

  // ---------------------------------------------------------------- panel
  // Elements are kept by dialog and control, and updated in place, so that
  // an edit being typed in keeps its focus and text.
  const elements = new Map();

  function drawPanel(panel) {
    const live = new Set();
    const host = $('#panel');
    panel.rollouts.forEach((r, i) => {
      const key = 'r' + r.handle;
      live.add(key);
      let box = elements.get(key);
      if (!box) {
        box = document.createElement('div');
        box.className = 'rollout';
        box.dataset.template = r.template;
        const head = document.createElement('div');
        head.className = 'head';
        head.addEventListener('click', () => act((box.classList.contains('folded') ? 'unfold ' : 'fold ') + box.dataset.template));
        const body = document.createElement('div');
        body.className = 'body';
        box.append(head, body);
        elements.set(key, box);
      }
      if (host.children[i] !== box) host.insertBefore(box, host.children[i] || null);
      box.querySelector('.head').textContent = r.title;
      box.classList.toggle('folded', !r.open);
      drawControls(box.querySelector('.body'), r, key, live);
    });
    const modals = $('#modals');
    panel.modals.forEach((m, i) => {
      const key = 'm' + m.handle;
      live.add(key);
      let overlay = elements.get(key);
      if (!overlay) {
        overlay = document.createElement('div');
        overlay.className = 'overlay modal';
        overlay.innerHTML = '<div class="window"><div class="caption"><span></span><span class="x" title="Close">✕</span></div><div class="body"></div></div>';
        overlay.dataset.template = m.template;
        overlay.querySelector('.x').addEventListener('click', () => act('close'));
        elements.set(key, overlay);
      }
      if (modals.children[i] !== overlay) modals.insertBefore(overlay, modals.children[i] || null);
      overlay.querySelector('.caption span').textContent = m.title;
      drawControls(overlay.querySelector('.body'), m, key, live);
    });
    for (const [key, el] of elements) {
      if (!live.has(key)) { el.remove(); elements.delete(key); }
    }
    $('#pickhint').hidden = !panel.pickMode;
    showSelector(panel.selector);
  }

  function drawControls(body, dialog, dkey, live) {
    body.style.width = dialog.w + 'px';
    body.style.height = dialog.h + 'px';
    dialog.controls.forEach((c, i) => {
      const key = dkey + ':' + i + ':' + c.id + ':' + c.kind;
      live.add(key);
      let el = elements.get(key);
      if (!el) {
        el = makeControl(c);
        el.classList.add('ctl', c.kind);
        el.dataset.id = c.id;
        elements.set(key, el);
        body.appendChild(el);
      }
      el.style.left = c.x + 'px'; el.style.top = c.y + 'px';
      el.style.width = c.w + 'px';
      if (c.kind !== 'dropdown') el.style.height = c.h + 'px';
      if (c.tooltip) el.dataset.tip = c.tooltip; else delete el.dataset.tip;
      updateControl(el, c);
    });
  }

  function input(el) { return el.querySelector('input') || el; }

  function makeControl(c) {
    let el;
    switch (c.kind) {
      case 'static': el = document.createElement('div'); break;
      case 'group': el = document.createElement('div'); el.appendChild(document.createElement('span')); break;
      case 'picture':
        el = document.createElement('img');
        el.src = q('bitmap?id=' + c.image);
        el.addEventListener('click', () => act('click ' + c.id));
        break;
      case 'button': case 'custbutton':
        el = document.createElement('button');
        el.addEventListener('click', () => act('click ' + c.id));
        break;
      case 'check': case 'radio': {
        el = document.createElement('label');
        const box = document.createElement('input');
        box.type = c.kind === 'check' ? 'checkbox' : 'radio';
        box.addEventListener('click', (e) => {
          e.preventDefault(); // the host decides what the box shows
          act(c.kind === 'radio' ? 'click ' + c.id : (box.checked ? 'check ' : 'uncheck ') + c.id);
        });
        el.append(box, document.createElement('span'));
        break;
      }
      case 'edit': case 'custedit':
        el = document.createElement('input');
        el.addEventListener('keydown', (e) => { if (e.key === 'Enter') el.blur(); });
        el.addEventListener('change', () => act('type ' + c.id + ' ' + el.value));
        break;
      case 'spinner': el = makeSpinner(c); break;
      case 'dropdown':
        el = document.createElement('select');
        el.addEventListener('change', () => act('select ' + c.id + ' ' + el.selectedIndex));
        break;
      case 'listbox':
        el = document.createElement('select');
        el.multiple = true;
        el.addEventListener('change', () => {
          const picked = [...el.options].filter((o) => o.selected).map((o) => o.index);
          act('select ' + c.id + ' ' + picked.join(','));
        });
        break;
      case 'listview': el = document.createElement('div'); break;
      case 'swatch':
        el = document.createElement('input');
        el.type = 'color';
        el.addEventListener('change', () => act('set ' + c.id + ' ' + el.value.toUpperCase()));
        break;
      default: el = document.createElement('div');
    }
    return el;
  }

  // A spinner: its arrows step, a drag up or down changes the value as the
  // host's spinner does, and the release sends it.
  function makeSpinner(c) {
    const el = document.createElement('div');
    const up = document.createElement('button'); up.textContent = '▲';
    const down = document.createElement('button'); down.textContent = '▼';
    el.append(up, down);
    const step = () => (el._c.float ? Math.max(el._c.scale, 0.001) : 1);
    up.addEventListener('click', () => act('set ' + el._c.id + ' ' + (el._c.value + step())));
    down.addEventListener('click', () => act('set ' + el._c.id + ' ' + (el._c.value - step())));
    el.addEventListener('mousedown', (e) => {
      if (e.target !== el) return;
      const y0 = e.clientY, v0 = el._c.value;
      const move = (ev) => { el._drag = v0 + Math.round(y0 - ev.clientY) * step(); };
      const upHandler = () => {
        removeEventListener('mousemove', move); removeEventListener('mouseup', upHandler);
        if (el._drag !== undefined) act('set ' + el._c.id + ' ' + el._drag);
        el._drag = undefined;
      };
      addEventListener('mousemove', move); addEventListener('mouseup', upHandler);
    });
    return el;
  }

  function updateControl(el, c) {
    el._c = c;
    const disabled = !c.enabled;
    switch (c.kind) {
      case 'static': el.textContent = c.text; break;
      case 'group': el.firstChild.textContent = c.text; break;
      case 'button': el.textContent = c.text; el.disabled = disabled; break;
      case 'custbutton': {
        el.textContent = c.buttonImage ? '' : c.text;
        el.disabled = disabled;
        el.classList.toggle('on', c.checked);
        const im = c.buttonImage;
        if (im) {
          el.style.backgroundImage = 'url("' + q('bitmap?id=' + im.bitmap) + '")';
          el.style.backgroundPosition = (-im.x + (c.w - im.w) / 2) + 'px ' + ((c.h - im.h) / 2) + 'px';
        }
        break;
      }
      case 'check': case 'radio': {
        const box = el.querySelector('input');
        box.checked = c.checked; box.disabled = disabled;
        el.querySelector('span').textContent = c.text;
        el.classList.toggle('disabled', disabled);
        break;
      }
      case 'edit': case 'custedit':
        if (document.activeElement !== el) el.value = c.text;
        el.readOnly = c.readOnly; el.disabled = disabled;
        break;
      case 'spinner':
        el.querySelectorAll('button').forEach((b) => { b.disabled = disabled; });
        el.classList.toggle('disabled', disabled);
        break;
      case 'dropdown': case 'listbox': {
        const texts = c.items.map((it) => it.text);
        if (el._texts !== JSON.stringify(texts)) {
          el._texts = JSON.stringify(texts);
          el.replaceChildren(...texts.map((t) => new Option(t)));
        }
        c.items.forEach((it, i) => {
          el.options[i].selected = c.kind === 'dropdown' ? i === c.cursel : it.sel;
        });
        if (c.kind === 'dropdown' && c.cursel < 0) el.selectedIndex = -1;
        el.disabled = disabled;
        break;
      }
      case 'listview': drawListView(el, c); break;
      case 'swatch': el.value = c.color.toLowerCase(); el.disabled = disabled; break;
      case 'picture': break;
    }
  }

  function drawListView(el, c) {
    const table = document.createElement('table');
    if (c.columns.length) {
      const head = table.insertRow();
      c.columns.forEach((name) => { const th = document.createElement('th'); th.textContent = name; head.appendChild(th); });
    }
    c.items.forEach((it, i) => {
      const row = table.insertRow();
      row.className = 'lvrow' + (it.sel ? ' sel' : '');
      row.dataset.row = i;
      [it.text, ...(it.cells || [])].forEach((t) => { row.insertCell().textContent = t; });
      row.addEventListener('click', (e) => {
        let rows = [i];
        if (e.ctrlKey || e.metaKey) {
          rows = c.items.map((x, k) => (k === i ? !x.sel : x.sel) ? k : -1).filter((k) => k >= 0);
        }
        act('select ' + c.id + ' ' + rows.join(','));
      });
    });
    el.replaceChildren(table);
  }

  // ---------------------------------------------------------------- files
  // The host's file and folder selectors, and the page's own Save.
  let fileMode = null; // {kind, title, host: bool}
  let fileDir = '';
  let quitAfterSave = false;

  function showSelector(sel) {
    if (sel) {
      if (!fileMode || !fileMode.host || fileMode.title !== sel.title) openFiles({ kind: sel.kind, title: sel.title, host: true });
    } else if (fileMode && fileMode.host) {
      closeFiles();
    }
  }
  function openFiles(mode) {
    fileMode = mode;
    $('#files .caption').textContent = mode.title;
    $('#files .name').hidden = mode.kind === 'folder';
    $('#files .ok').textContent = mode.kind === 'folder' ? 'Choose this folder' : 'OK';
    $('#files').hidden = false;
    listFiles(fileDir);
  }
  function closeFiles() { fileMode = null; $('#files').hidden = true; }
  async function listFiles(dir) {
    const r = await fetch(q('files?dir=' + encodeURIComponent(dir)));
    if (!r.ok) { toast('The folder cannot be shown', true); return; }
    const listing = await r.json();
    fileDir = listing.dir;
    $('#files .path').textContent = '/' + fileDir;
    const ul = $('#files .entries');
    ul.replaceChildren();
    if (fileDir) {
      const li = document.createElement('li'); li.className = 'dir'; li.textContent = '..';
      li.addEventListener('click', () => listFiles(fileDir.split('/').slice(0, -1).join('/')));
      ul.appendChild(li);
    }
    listing.entries.forEach((e) => {
      const li = document.createElement('li');
      li.textContent = e.name; li.className = e.dir ? 'dir' : 'file'; li.dataset.name = e.name;
      li.addEventListener('click', () => {
        if (e.dir) listFiles(join(fileDir, e.name));
        else { $('#files .name').value = e.name; ul.querySelectorAll('li').forEach((x) => x.classList.toggle('sel', x === li)); }
      });
      ul.appendChild(li);
    });
  }
  const join = (dir, name) => (dir ? dir + '/' + name : name);
  $('#files .ok').addEventListener('click', () => {
    const mode = fileMode;
    if (!mode) return;
    const name = $('#files .name').value.trim();
    if (mode.kind !== 'folder' && !name) { toast('Give a file name', true); return; }
    const path = mode.kind === 'folder' ? fileDir : join(fileDir, name);
    closeFiles();
    if (mode.host) act((mode.kind === 'folder' ? 'answer folder ' : 'answer file ') + path);
    else send('save ' + path);
  });
  $('#files .cancel').addEventListener('click', () => {
    const mode = fileMode;
    closeFiles();
    quitAfterSave = false;
    if (mode && mode.host) act('answer cancel');
  });
  $('#save').addEventListener('click', () => openFiles({ kind: 'save', title: 'Save scene (.vlscene)', host: false }));
  $('#quit').addEventListener('click', () => send('quit'));
  $('#confirm .save').addEventListener('click', () => { $('#confirm').hidden = true; quitAfterSave = true; $('#save').click(); });
  $('#confirm .discard').addEventListener('click', () => { $('#confirm').hidden = true; send('quit discard'); });
  $('#confirm .cancel').addEventListener('click', () => { $('#confirm').hidden = true; });

  // ---------------------------------------------------------------- progress
  function showProgress(m) {
    studio.progressEvents = (studio.progressEvents || 0) + 1;
    $('#progress').hidden = !m.open;
    $('#progress .title').textContent = m.title + (m.open ? ' ' + m.percent + '%' : '');
    $('#progress .fill').style.width = m.percent + '%';
  }
  $('#cancel').addEventListener('click', () => send('cancel'));

  // ---------------------------------------------------------------- outliner
  function drawOutliner() {
    const ul = $('#nodes');
    ul.replaceChildren(...studio.nodes.map((name) => {
      const li = document.createElement('li');
      li.textContent = name; li.dataset.node = name;
      li.classList.toggle('sel', studio.selection.includes(name));
      li.addEventListener('click', () => clickNode(name));
      return li;
    }));
  }
  function clickNode(name) {
    if (studio.panel && studio.panel.pickMode) act(name ? 'pick ' + name : 'pick');
    else send('selectnode ' + (name || ''));
  }

  // ---------------------------------------------------------------- 3D view
  const view = { mode: 'materials', meshes: [], helpers: [] };
  const canvas = $('#canvas3d');
  const has3d = typeof THREE !== 'undefined' && THREE.GLTFLoader && THREE.OrbitControls;
  if (has3d) {
    view.renderer = new THREE.WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
    view.renderer.setPixelRatio(devicePixelRatio);
    view.renderer.outputEncoding = THREE.sRGBEncoding;
    view.scene = new THREE.Scene();
    view.scene.background = new THREE.Color(0x3a3a3a);
    view.camera = new THREE.PerspectiveCamera(45, 1, 0.01, 10000);
    view.controls = new THREE.OrbitControls(view.camera, canvas);
    view.scene.add(new THREE.HemisphereLight(0xffffff, 0x404040, 0.9));
    const sun = new THREE.DirectionalLight(0xffffff, 0.6);
    sun.position.set(3, 5, 4); view.scene.add(sun);
    view.grid = new THREE.GridHelper(20, 20, 0x555555, 0x4a4a4a);
    view.scene.add(view.grid);
    view.checker = makeChecker();
    const loop = () => {
      const w = canvas.clientWidth, h = canvas.clientHeight;
      if (canvas.width !== Math.floor(w * devicePixelRatio) || canvas.height !== Math.floor(h * devicePixelRatio)) {
        view.renderer.setSize(w, h, false);
        view.camera.aspect = w / Math.max(h, 1); view.camera.updateProjectionMatrix();
      }
      view.controls.update();
      view.renderer.render(view.scene, view.camera);
      requestAnimationFrame(loop);
    };
    requestAnimationFrame(loop);
  } else {
    canvas.replaceWith(Object.assign(document.createElement('p'), { textContent: 'The 3D view needs three.js (Debian package libjs-three).' }));
  }

  function makeChecker() {
    const c = document.createElement('canvas');
    c.width = c.height = 256;
    const g = c.getContext('2d');
    for (let y = 0; y < 16; y++) {
      for (let x = 0; x < 16; x++) {
        g.fillStyle = (x + y) % 2 ? '#e8e8e8' : '#4a78c8';
        g.fillRect(x * 16, y * 16, 16, 16);
      }
    }
    g.fillStyle = '#d9533c'; g.fillRect(0, 0, 16, 16); // the atlas origin
    const t = new THREE.CanvasTexture(c);
    t.wrapS = t.wrapT = THREE.RepeatWrapping;
    t.magFilter = THREE.NearestFilter;
    return t;
  }

  let loading = false;
  async function loadScene() {
    if (!has3d || loading) return;
    loading = true;
    try {
      while (studio.loadedVersion !== studio.sceneVersion || view.loadedMode !== glbMode()) {
        const version = studio.sceneVersion, mode = glbMode();
        const t0 = performance.now();
        const r = await fetch(q('scene.glb?mode=' + mode + '&v=' + version));
        if (!r.ok) { toast('The scene cannot be shown: ' + (await r.text()), true); break; }
        const buffer = await r.arrayBuffer();
        const gltf = await new Promise((ok, fail) => new THREE.GLTFLoader().parse(buffer, '', ok, fail));
        showGltf(gltf);
        studio.loadedVersion = version; view.loadedMode = mode;
        studio.sceneLoadMs = performance.now() - t0;
      }
    } catch (e) {
      toast('The scene cannot be shown: ' + e, true);
    } finally {
      loading = false;
      studio.ready = true;
    }
  }
  const glbMode = () => (view.mode === 'baked' ? 'baked' : 'normal');

  function showGltf(gltf) {
    const first = !view.root;
    if (view.root) {
      view.scene.remove(view.root);
      disposeAll(view.root);
    }
    view.root = gltf.scene;
    view.scene.add(view.root);
    view.meshes = [];
    view.root.traverse((o) => {
      if (o.isMesh) {
        // An object without material gets the loader's default, which is
        // metal; without an environment to reflect, metal shows black.
        if (o.material && o.material.metalness === 1 && !o.material.metalnessMap) o.material.metalness = 0;
        o.userData.original = o.material;
        o.userData.node = o.name || (o.parent && o.parent.name) || '';
        view.meshes.push(o);
      }
    });
    applyMode();
    showSelection();
    drawUV();
    if (first) frame(false);
  }

  // What a scene held on the GPU goes with it: reloads come after every
  // change, and a long session must not run out of memory.
  function disposeAll(root) {
    const done = new Set();
    const free = (x) => { if (x && !done.has(x)) { done.add(x); x.dispose(); } };
    root.traverse((o) => {
      if (!o.isMesh) return;
      [o.geometry, o.userData.plainGeometry, o.userData.checkerGeometry].forEach(free);
      [o.material, o.userData.original].flat().forEach((m) => {
        if (!m || m === view.checkerMaterial || m === view.missingMaterial) return;
        Object.values(m).forEach((v) => { if (v && v.isTexture) free(v); });
        free(m);
      });
    });
  }

  // The attribute three.js gave TEXCOORD_(channel - 1).
  function channelAttribute(geometry, channel) {
    const names = { 1: 'uv', 2: 'uv2' };
    return geometry.getAttribute(names[channel] || 'texcoord_' + (channel - 1));
  }

  function applyMode() {
    view.meshes.forEach((m) => {
      if (view.mode === 'checker') {
        const uv = channelAttribute(m.geometry, studio.channel);
        if (!m.userData.checkerGeometry || m.userData.checkerChannel !== studio.channel) {
          if (m.userData.checkerGeometry) m.userData.checkerGeometry.dispose();
          const g = (m.userData.plainGeometry || m.geometry).clone();
          if (uv) g.setAttribute('uv', uv);
          m.userData.checkerGeometry = g; m.userData.checkerChannel = studio.channel;
          m.userData.plainGeometry = m.userData.plainGeometry || m.geometry;
        }
        m.geometry = m.userData.checkerGeometry;
        // One material for every mesh: the checker, or red where the
        // channel is missing.
        view.checkerMaterial = view.checkerMaterial || new THREE.MeshLambertMaterial({ map: view.checker });
        view.missingMaterial = view.missingMaterial || new THREE.MeshLambertMaterial({ color: 0xaa4444 });
        m.material = uv ? view.checkerMaterial : view.missingMaterial;
      } else {
        if (m.userData.plainGeometry) m.geometry = m.userData.plainGeometry;
        m.material = m.userData.original;
      }
    });
  }
  $('#mode').addEventListener('change', (e) => {
    view.mode = e.target.value;
    if (glbMode() !== view.loadedMode) loadScene(); else applyMode();
  });

  function showSelection() {
    if (!has3d) return;
    view.helpers.forEach((h) => view.scene.remove(h));
    view.helpers = view.meshes.filter((m) => studio.selection.includes(m.userData.node)).map((m) => {
      const h = new THREE.BoxHelper(m, 0xffffff);
      view.scene.add(h);
      return h;
    });
  }

  function frame(selectedOnly) {
    const box = new THREE.Box3();
    view.meshes.forEach((m) => {
      if (!selectedOnly || !studio.selection.length || studio.selection.includes(m.userData.node)) box.expandByObject(m);
    });
    if (box.isEmpty()) return;
    const center = box.getCenter(new THREE.Vector3());
    const size = box.getSize(new THREE.Vector3()).length() || 1;
    view.controls.target.copy(center);
    view.camera.position.copy(center).add(new THREE.Vector3(0.6, 0.5, 0.8).multiplyScalar(size));
    view.camera.near = size / 1000; view.camera.far = size * 100;
    view.camera.updateProjectionMatrix();
    view.grid.position.y = box.min.y;
    view.grid.scale.setScalar(size / 10);
  }
  $('#frame').addEventListener('click', () => frame(true));

  // A click (not a drag) picks the object under the cursor.
  let downAt = null;
  canvas.addEventListener('pointerdown', (e) => { downAt = [e.clientX, e.clientY]; });
  canvas.addEventListener('pointerup', (e) => {
    if (!downAt || Math.hypot(e.clientX - downAt[0], e.clientY - downAt[1]) > 4 || e.button !== 0) return;
    const r = canvas.getBoundingClientRect();
    const ray = new THREE.Raycaster();
    ray.setFromCamera({ x: ((e.clientX - r.left) / r.width) * 2 - 1, y: -((e.clientY - r.top) / r.height) * 2 + 1 }, view.camera);
    const hit = ray.intersectObjects(view.meshes, false)[0];
    clickNode(hit ? hit.object.userData.node : '');
  });
  canvas.addEventListener('contextmenu', (e) => {
    if (studio.panel && studio.panel.pickMode) { e.preventDefault(); act('rightclick'); }
  });

  // ---------------------------------------------------------------- UV view
  function colourOf(name) {
    let h = 0;
    for (const ch of name) h = (h * 31 + ch.charCodeAt(0)) >>> 0;
    return 'hsl(' + (h % 360) + ',65%,60%)';
  }
  function drawUV() {
    const show = $('#uvview').checked;
    $('#viewuv').hidden = !show;
    if (!show || !has3d) return;
    const c = $('#canvasuv');
    const g = c.getContext('2d');
    const s = c.width;
    g.fillStyle = '#1d1d1d'; g.fillRect(0, 0, s, s);
    g.strokeStyle = '#666'; g.strokeRect(0.5, 0.5, s - 1, s - 1);
    const legend = [];
    view.meshes.forEach((m) => {
      const name = m.userData.node;
      if (studio.group.length && !studio.group.includes(name)) return;
      const geometry = m.userData.plainGeometry || m.geometry;
      const uv = channelAttribute(geometry, studio.channel);
      if (!uv) return;
      const colour = colourOf(name);
      if (!legend.includes(name)) legend.push(name);
      g.fillStyle = colour; g.strokeStyle = 'rgba(0,0,0,0.35)'; g.lineWidth = 0.5;
      const index = geometry.index;
      const count = index ? index.count : uv.count;
      for (let i = 0; i + 2 < count; i += 3) {
        g.beginPath();
        for (let k = 0; k < 3; k++) {
          const v = index ? index.getX(i + k) : i + k;
          const x = uv.getX(v) * s, y = uv.getY(v) * s; // glTF V runs down, as image rows do
          if (k === 0) g.moveTo(x, y); else g.lineTo(x, y);
        }
        g.closePath(); g.fill(); g.stroke();
      }
    });
    $('#uvlegend').replaceChildren(...legend.map((n) => {
      const span = document.createElement('span');
      span.innerHTML = '<b>■</b> ';
      span.firstChild.style.color = colourOf(n);
      span.append(n);
      return span;
    }));
  }
  $('#uvview').addEventListener('change', drawUV);

  window.addEventListener('keydown', (e) => {
    if (e.key === 'f' && e.target === document.body) frame(true);
  });
})();
