// SPDX-License-Identifier: GPL-3.0-or-later
// Taktora Handregler: the browser throttle. Talks JSON over the WebSocket /json
// of the server that delivered this page; no framework, nothing from outside.
"use strict";

(function () {
  const FUNCTION_COUNT = 13;          // F0 .. F12
  const MAX_THROTTLES = 6;
  const PING_MS = 10000;              // the server drops a connection silent for 30 s
  const RECONNECT_MS = 3000;
  const SPEED_SEND_MS = 100;          // at most one speed message per 100 ms while dragging
  const MESSAGE_MS = 6000;
  const POWER_ON = 2;
  const POWER_OFF = 4;
  const CLOSED = 2;
  const THROWN = 4;

  const TEXT = {
    connected: "Verbunden",
    offline: "Keine Verbindung – neuer Versuch in 3 s",
    waiting: "Warten auf Freigabe am PC",
    rejected: "Abgelehnt",
  };

  const $ = (id) => document.getElementById(id);

  const state = {
    socket: null,
    open: false,
    approval: "",                     // "approved", "waiting", "rejected" as the server last said
    powerAllowed: false,
    turnoutsAllowed: false,
    power: 0,
    roster: [],
    turnouts: [],
    routes: [],
    throttles: [],
    active: 0,
    pingTimer: 0,
    reconnectTimer: 0,
    messageTimer: 0,
  };

  // ---- storage (private modes may refuse it; the page then forgets between visits)

  function load(key) {
    try { return localStorage.getItem(key); } catch (e) { return null; }
  }

  function store(key, value) {
    try { localStorage.setItem(key, value); } catch (e) { /* keep it for this visit only */ }
  }

  function clientToken() {
    let token = load("taktora-token");
    if (!token || !/^[0-9a-f]{32}$/.test(token)) {
      const bytes = new Uint8Array(16);
      crypto.getRandomValues(bytes);
      token = Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
      store("taktora-token", token);
    }
    return token;
  }

  // "Browser Chrome Android": enough for the PC's user to tell the guests apart.
  function defaultName() {
    const ua = navigator.userAgent;
    const browser = /Edg\//.test(ua) ? "Edge"
      : /OPR\/|Opera/.test(ua) ? "Opera"
      : /Firefox\/|FxiOS/.test(ua) ? "Firefox"
      : /Chrome\/|CriOS/.test(ua) ? "Chrome"
      : /Safari\//.test(ua) ? "Safari" : "";
    const system = /Android/.test(ua) ? "Android"
      : /iPhone/.test(ua) ? "iPhone"
      : /iPad/.test(ua) ? "iPad"
      : /Windows/.test(ua) ? "Windows"
      : /Macintosh|Mac OS X/.test(ua) ? "Mac"
      : /CrOS/.test(ua) ? "ChromeOS"
      : /Linux/.test(ua) ? "Linux" : "";
    return ["Browser", browser, system].filter(Boolean).join(" ");
  }

  function clientName() {
    const typed = (load("taktora-name") || "").trim();
    return typed || defaultName();
  }

  // ---- connection

  function send(type, data, method) {
    if (!state.open) return false;
    const message = { type: type };
    if (method) message.method = method;
    if (data !== undefined) message.data = data;
    state.socket.send(JSON.stringify(message));
    return true;
  }

  function requestLists() {
    send("roster", undefined, "list");
    send("turnouts", undefined, "list");
    send("routes", undefined, "list");
  }

  function connect() {
    clearTimeout(state.reconnectTimer);
    const scheme = location.protocol === "https:" ? "wss://" : "ws://";
    let socket;
    try {
      socket = new WebSocket(scheme + location.host + "/json");
    } catch (e) {
      connectionLost();
      return;
    }
    state.socket = socket;
    socket.onopen = () => {
      state.open = true;
      send("hello", { client: clientToken(), name: clientName() });
      requestLists();
      state.pingTimer = setInterval(() => send("ping"), PING_MS);
    };
    socket.onmessage = (event) => {
      let message;
      try { message = JSON.parse(event.data); } catch (e) { return; }
      if (message && typeof message.type === "string") handle(message);
    };
    socket.onclose = () => {
      if (state.socket !== socket) return;
      connectionLost();
    };
  }

  function connectionLost() {
    state.open = false;
    state.socket = null;
    clearInterval(state.pingTimer);
    state.power = 0;                  // what the track does now is not known without the server
    // The server forgets this connection's throttles; the wanted addresses stay
    // so that they are taken again once the connection is back and approved.
    for (const t of state.throttles) t.acquired = false;
    if (state.approval === "rejected") {
      showStatus(TEXT.rejected, "rejected");
    } else {
      state.approval = "";
      showStatus(TEXT.offline, "offline");
      state.reconnectTimer = setTimeout(connect, RECONNECT_MS);
    }
    render();
  }

  function reconnectNow() {
    if (state.socket) {
      const old = state.socket;
      send("goodbye");
      state.socket = null;
      old.close();
      state.open = false;
      clearInterval(state.pingTimer);
      // The server lets the locos go with the old connection; take them again after the new hello.
      state.approval = "";
      for (const t of state.throttles) t.acquired = false;
    }
    connect();
  }

  // ---- messages from the server

  function handle(message) {
    const data = message.data;
    switch (message.type) {
      case "hello": onHello(data || {}); break;
      case "error": if (data) showMessage(data.message || ("Fehler " + data.code)); break;
      case "power": if (data) { state.power = data.state; renderPower(); } break;
      case "roster": if (Array.isArray(data)) onRoster(data); break;
      case "throttle": if (data) onThrottle(data); break;
      case "turnouts": if (Array.isArray(data)) { state.turnouts = data.map(unwrap); renderTurnouts(); } break;
      case "turnout": if (data) { upsert(state.turnouts, data); renderTurnouts(); } break;
      case "routes": if (Array.isArray(data)) { state.routes = data.map(unwrap); renderRoutes(); } break;
      case "route": if (data) { upsert(state.routes, data); renderRoutes(); } break;
      default: break;                 // pong and anything newer than this page
    }
  }

  function unwrap(item) {
    return item && item.data ? item.data : item;
  }

  function upsert(list, item) {
    const i = list.findIndex((x) => x.name === item.name);
    if (i < 0) list.push(item);
    else list[i] = Object.assign({}, list[i], item);
  }

  function onHello(data) {
    const was = state.approval;
    state.approval = data.approval || "approved";
    state.powerAllowed = !!data.powerAllowed;
    state.turnoutsAllowed = !!data.turnoutsAllowed;
    if (state.approval === "approved") {
      showStatus(TEXT.connected, "online");
      if (was !== "approved") {
        if (was) requestLists();      // the first lists went out with the hello
        for (const t of state.throttles) {
          if (t.address && !t.acquired) acquire(t, t.address);
        }
      }
    } else if (state.approval === "waiting") {
      showStatus(TEXT.waiting, "waiting");
    } else {
      showStatus(TEXT.rejected, "rejected");
    }
    render();
  }

  function onRoster(list) {
    state.roster = list.map(unwrap).filter((e) => e && Number(e.address) > 0);
    for (const t of state.throttles) fillRosterSelect(t);
    render();
  }

  function onThrottle(data) {
    const t = state.throttles.find((x) => x.name === data.throttle);
    if (!t) return;
    if ("release" in data) {
      t.address = 0;
      t.acquired = false;
      t.speed = 0;
      t.functions = {};
      renderThrottle(t);
      return;
    }
    if ("address" in data) {
      t.address = Number(data.address);
      t.acquired = true;
      t.el.address.value = t.address;
      t.el.loco.value = rosterEntry(t.address) ? String(t.address) : "";
    }
    if ("speed" in data) {
      t.speed = Math.max(0, Number(data.speed) || 0);
      t.sentPercent = Math.round(t.speed * 100);   // a drag back to where another hand left it must be sent
    }
    if ("forward" in data) t.forward = !!data.forward;
    for (let n = 0; n < FUNCTION_COUNT; n++) {
      if (("F" + n) in data) t.functions[n] = !!data["F" + n];
    }
    renderThrottle(t);
  }

  // ---- throttles

  function rosterEntry(address) {
    return state.roster.find((e) => Number(e.address) === Number(address));
  }

  function functionKey(t, n) {
    const entry = rosterEntry(t.address);
    const keys = (entry && entry.functionKeys) || [];
    const key = keys.find((k) => k.name === "F" + n) || {};
    const label = key.label || (n === 0 ? "Licht" : "F" + n);
    return { label: label, lockable: key.lockable !== false };
  }

  function createElement(tag, props, parent) {
    const element = document.createElement(tag);
    Object.assign(element, props || {});
    if (parent) parent.appendChild(element);
    return element;
  }

  function addThrottle() {
    if (state.throttles.length >= MAX_THROTTLES) return;
    const i = state.throttles.length;
    const t = {
      index: i, name: "T" + (i + 1), address: 0, acquired: false, speed: 0,
      forward: true, functions: {}, dragging: false,
      lastSpeedSent: 0, speedTimer: 0, el: {},
    };
    buildThrottle(t);
    state.throttles.push(t);
    selectThrottle(i);
    render();
  }

  function buildThrottle(t) {
    const i = t.index;
    const el = t.el;
    el.tab = createElement("button", { type: "button", id: "tab-" + i, className: "tab" }, $("tabList"));
    el.tab.setAttribute("role", "tab");
    el.tab.addEventListener("click", () => selectThrottle(i));

    const box = createElement("section", { id: "throttle-" + i, className: "throttle panel" }, $("throttles"));
    el.box = box;
    box.addEventListener("pointerdown", () => selectThrottle(i));
    el.title = createElement("h2", {}, box);

    const choose = createElement("div", { className: "choose" }, box);
    el.loco = createElement("select", { id: "loco-" + i, title: "Lok aus der Liste" }, choose);
    el.loco.addEventListener("change", () => {
      if (el.loco.value) el.address.value = el.loco.value;
    });
    el.address = createElement("input", {
      id: "address-" + i, type: "number", min: 1, max: 10239, inputMode: "numeric",
      placeholder: "Adresse", title: "Lokadresse 1 bis 10239",
    }, choose);
    el.address.addEventListener("keydown", (e) => { if (e.key === "Enter") takeFromForm(t); });
    el.take = createElement("button", { id: "take-" + i, type: "button", textContent: "Übernehmen" }, choose);
    el.take.addEventListener("click", () => takeFromForm(t));
    fillRosterSelect(t);

    const speedRow = createElement("div", { className: "speed" }, box);
    el.speedValue = createElement("output", { id: "speedValue-" + i, className: "speedvalue" }, speedRow);
    el.speed = createElement("input", {
      id: "speed-" + i, type: "range", min: 0, max: 100, step: 1, value: 0,
    }, speedRow);
    el.speed.setAttribute("aria-label", "Geschwindigkeit");
    el.speed.addEventListener("pointerdown", () => { t.dragging = true; });
    // A tap that leaves the value as it was fires no change event.
    el.speed.addEventListener("pointerup", () => { t.dragging = false; });
    el.speed.addEventListener("pointercancel", () => { t.dragging = false; });
    el.speed.addEventListener("input", () => speedInput(t, false));
    el.speed.addEventListener("change", () => { t.dragging = false; speedInput(t, true); });

    const drive = createElement("div", { className: "drive" }, box);
    el.reverse = createElement("button", { id: "reverse-" + i, type: "button", textContent: "◀ Rückwärts" }, drive);
    el.stop = createElement("button", { id: "stop-" + i, type: "button", className: "stop", textContent: "STOP" }, drive);
    el.forward = createElement("button", { id: "forward-" + i, type: "button", textContent: "Vorwärts ▶" }, drive);
    el.reverse.addEventListener("click", () => setDirection(t, false));
    el.forward.addEventListener("click", () => setDirection(t, true));
    el.stop.addEventListener("click", () => stopLoco(t));

    const fns = createElement("div", { className: "functions" }, box);
    el.fn = [];
    for (let n = 0; n < FUNCTION_COUNT; n++) {
      const b = createElement("button", { id: "fn-" + i + "-" + n, type: "button", className: "fn" }, fns);
      b.addEventListener("pointerdown", (e) => functionDown(t, n, e));
      for (const ev of ["pointerup", "pointercancel", "pointerleave"]) {
        b.addEventListener(ev, () => functionUp(t, n));
      }
      b.addEventListener("click", (e) => functionClick(t, n, e));
      b.addEventListener("contextmenu", (e) => e.preventDefault());   // long press is a held horn, not a menu
      el.fn.push(b);
    }

    el.release = createElement("button", {
      id: "release-" + i, type: "button", className: "release", textContent: "Freigeben",
    }, box);
    el.release.addEventListener("click", () => {
      if (t.address) sendThrottle(t, { release: null });
    });
  }

  function fillRosterSelect(t) {
    const select = t.el.loco;
    const keep = select.value;
    select.textContent = "";
    createElement("option", { value: "", textContent: state.roster.length ? "Lok wählen …" : "Keine Loks im Verzeichnis" }, select);
    for (const entry of state.roster) {
      createElement("option", { value: String(Number(entry.address)), textContent: Number(entry.address) + " – " + entry.name }, select);
    }
    select.value = keep;
    if (select.value !== keep) select.value = "";
  }

  function sendThrottle(t, fields) {
    return send("throttle", Object.assign({ throttle: t.name }, fields));
  }

  function takeFromForm(t) {
    const address = Number(t.el.address.value || t.el.loco.value);
    if (!Number.isInteger(address) || address < 1 || address > 10239) {
      showMessage("Bitte eine Lokadresse von 1 bis 10239 eingeben.");
      return;
    }
    if (t.acquired && t.address === address) return;
    if (t.acquired) sendThrottle(t, { release: null });
    acquire(t, address);
  }

  function acquire(t, address) {
    t.address = address;
    sendThrottle(t, { address: address });
  }

  // The slider is the user's while dragging; the server's echo must not pull it back.
  function speedInput(t, final) {
    if (!usable(t)) return;
    const value = Number(t.el.speed.value);
    t.el.speedValue.textContent = value + " %";
    clearTimeout(t.speedTimer);
    const now = Date.now();
    const wait = SPEED_SEND_MS - (now - t.lastSpeedSent);
    if (final || wait <= 0) {
      t.lastSpeedSent = now;
      if (value !== t.sentPercent) sendSpeed(t, value);
    } else {
      t.speedTimer = setTimeout(() => speedInput(t, false), wait);
    }
  }

  function sendSpeed(t, percent) {
    t.sentPercent = Math.round(Math.max(0, Math.min(100, percent)));
    const speed = t.sentPercent / 100;
    t.speed = speed;
    sendThrottle(t, { speed: speed });
  }

  function stepSpeed(t, delta) {
    if (!usable(t)) return;
    const percent = Math.round(t.speed * 100) + delta;
    sendSpeed(t, percent);
    renderThrottle(t);
  }

  function stopLoco(t) {
    if (!usable(t)) return;
    clearTimeout(t.speedTimer);
    t.dragging = false;
    t.speed = 0;
    t.sentPercent = undefined;
    sendThrottle(t, { speed: -1 });
    renderThrottle(t);
  }

  function setDirection(t, forward) {
    if (!usable(t)) return;
    sendThrottle(t, { forward: forward });
  }

  function setFunction(t, n, on) {
    if (!usable(t)) return;
    const field = {};
    field["F" + n] = on;
    sendThrottle(t, field);
  }

  function toggleFunction(t, n) {
    setFunction(t, n, !t.functions[n]);
  }

  // A momentary function (horn, whistle) sounds while the finger is on the key.
  function functionDown(t, n, event) {
    if (event.button > 0 || functionKey(t, n).lockable) return;
    t.held = n;
    setFunction(t, n, true);
  }

  function functionUp(t, n) {
    if (t.held !== n) return;
    t.held = undefined;
    setFunction(t, n, false);
  }

  // Lockable keys toggle on click, so that a finger scrolling the page over them
  // switches nothing; Enter on a focused momentary key sounds it briefly.
  function functionClick(t, n, event) {
    if (functionKey(t, n).lockable) {
      toggleFunction(t, n);
    } else if (event.detail === 0) {
      setFunction(t, n, true);
      setTimeout(() => setFunction(t, n, false), 400);
    }
  }

  function selectThrottle(i) {
    if (state.active === i && state.throttles[i] && state.throttles[i].el.box.classList.contains("active")) return;
    state.active = i;
    state.throttles.forEach((t) => {
      t.el.box.classList.toggle("active", t.index === i);
      t.el.tab.classList.toggle("active", t.index === i);
      t.el.tab.setAttribute("aria-selected", t.index === i ? "true" : "false");
    });
  }

  function approved() {
    return state.open && state.approval === "approved";
  }

  function usable(t) {
    return approved() && t.acquired;
  }

  // ---- rendering

  function showStatus(text, kind) {
    const status = $("status");
    status.textContent = text;
    status.className = "status " + kind;
  }

  function showMessage(text) {
    const line = $("message");
    line.textContent = text;
    line.hidden = false;
    clearTimeout(state.messageTimer);
    state.messageTimer = setTimeout(() => { line.hidden = true; }, MESSAGE_MS);
  }

  function render() {
    const ok = approved();
    $("approval").hidden = !(state.approval === "waiting" || state.approval === "rejected");
    $("estop").disabled = !ok;
    $("addThrottle").disabled = state.throttles.length >= MAX_THROTTLES;
    renderPower();
    state.throttles.forEach(renderThrottle);
    renderTurnouts();
    renderRoutes();
  }

  function renderPower() {
    const text = state.power === POWER_ON ? "AN" : state.power === POWER_OFF ? "AUS" : "unbekannt";
    const power = $("power");
    power.textContent = "Gleisspannung: " + text;
    power.className = state.power === POWER_ON ? "on" : state.power === POWER_OFF ? "off" : "";
    const toggle = $("powerToggle");
    toggle.hidden = !state.powerAllowed;
    toggle.disabled = !approved();
    toggle.textContent = state.power === POWER_ON ? "Ausschalten" : "Einschalten";
  }

  function renderThrottle(t) {
    const el = t.el;
    const ok = approved();
    const live = ok && t.acquired;
    // Only a loco the server confirmed counts as driven by this throttle.
    const entry = t.acquired ? rosterEntry(t.address) : null;
    const locoName = entry ? entry.name : t.acquired ? "Lok " + t.address : "keine Lok";
    el.title.textContent = t.name + ": " + locoName;
    el.tab.textContent = t.acquired ? (entry ? entry.name : String(t.address)) : "Lok " + (t.index + 1);
    el.loco.disabled = !ok;
    el.address.disabled = !ok;
    el.take.disabled = !ok;
    const percent = Math.round(t.speed * 100);
    if (!t.dragging) {
      el.speed.value = percent;
      el.speedValue.textContent = percent + " %";
    }
    for (const b of [el.speed, el.reverse, el.forward, el.stop, el.release]) b.disabled = !live;
    el.forward.classList.toggle("on", t.acquired && t.forward);
    el.reverse.classList.toggle("on", t.acquired && !t.forward);
    el.forward.setAttribute("aria-pressed", String(t.acquired && t.forward));
    el.reverse.setAttribute("aria-pressed", String(t.acquired && !t.forward));
    for (let n = 0; n < FUNCTION_COUNT; n++) {
      const key = functionKey(t, n);
      const b = el.fn[n];
      b.disabled = !live;
      b.textContent = "";
      createElement("span", { className: "fnum", textContent: "F" + n }, b);
      if (key.label !== "F" + n) createElement("span", { className: "flabel", textContent: key.label }, b);
      b.title = key.label + (key.lockable ? "" : " (nur solange gedrückt)");
      b.classList.toggle("on", !!t.functions[n]);
      b.classList.toggle("momentary", !key.lockable);
      b.setAttribute("aria-pressed", String(!!t.functions[n]));
    }
  }

  function itemRow(list, label, stateId, stateText) {
    const li = createElement("li", {}, list);
    const text = createElement("div", { className: "itemtext" }, li);
    createElement("span", { className: "itemname", textContent: label }, text);
    createElement("span", { id: stateId, className: "itemstate", textContent: stateText }, text);
    return createElement("div", { className: "itembuttons" }, li);
  }

  function renderTurnouts() {
    const list = $("turnoutList");
    list.textContent = "";
    $("turnouts").hidden = state.turnouts.length === 0;
    const enabled = approved() && state.turnoutsAllowed;
    for (const turnout of state.turnouts) {
      const text = turnout.state === CLOSED ? "gerade" : turnout.state === THROWN ? "abzweigend" : "unbekannt";
      const label = turnout.userName ? turnout.userName + " (" + turnout.name + ")" : turnout.name;
      const buttons = itemRow(list, label, "turnoutState-" + turnout.name, text);
      const pairs = [[CLOSED, "closed", "gerade"], [THROWN, "thrown", "abzweigend"]];
      for (const [value, suffix, caption] of pairs) {
        const b = createElement("button", {
          id: "turnout-" + turnout.name + "-" + suffix, type: "button", textContent: caption, disabled: !enabled,
        }, buttons);
        b.classList.toggle("on", turnout.state === value);
        b.addEventListener("click", () => send("turnout", { name: turnout.name, state: value }));
      }
    }
  }

  function renderRoutes() {
    const list = $("routeList");
    list.textContent = "";
    $("routes").hidden = state.routes.length === 0;
    const enabled = approved() && state.turnoutsAllowed;
    for (const route of state.routes) {
      const label = route.userName ? route.userName + " (" + route.name + ")" : route.name;
      const set = route.state === CLOSED;
      const buttons = itemRow(list, label, "routeState-" + route.name, set ? "gestellt" : "nicht gestellt");
      const b = createElement("button", {
        id: "route-" + route.name, type: "button", textContent: "Stellen", disabled: !enabled,
      }, buttons);
      b.addEventListener("click", () => send("route", { name: route.name, state: CLOSED }));
    }
  }

  // ---- keyboard on a desktop

  function typing(target) {
    return target && (target.tagName === "INPUT" || target.tagName === "SELECT" ||
      target.tagName === "TEXTAREA" || target.isContentEditable);
  }

  function onKey(event) {
    if (event.key === "Escape") {
      event.preventDefault();
      emergencyStop();
      return;
    }
    if (event.ctrlKey || event.altKey || event.metaKey || typing(document.activeElement)) return;
    const t = state.throttles[state.active];
    if (!t) return;
    const actions = {
      ArrowUp: () => stepSpeed(t, 1),
      ArrowDown: () => stepSpeed(t, -1),
      PageUp: () => stepSpeed(t, 10),
      PageDown: () => stepSpeed(t, -10),
      ArrowLeft: () => setDirection(t, false),
      ArrowRight: () => setDirection(t, true),
      " ": () => stopLoco(t),
    };
    let action = actions[event.key];
    if (!action && /^[0-9]$/.test(event.key)) action = () => toggleFunction(t, Number(event.key));
    if (!action) return;
    event.preventDefault();           // no scrolling, and Space does not press the focused button
    if (!event.repeat || event.key.startsWith("Arrow") || event.key.startsWith("Page")) action();
  }

  function emergencyStop() {
    send("estop");
  }

  // ---- start

  function start() {
    $("estop").addEventListener("click", emergencyStop);
    $("addThrottle").addEventListener("click", addThrottle);
    $("powerToggle").addEventListener("click", () => {
      send("power", { state: state.power === POWER_ON ? POWER_OFF : POWER_ON });
    });
    const nameField = $("clientName");
    nameField.value = load("taktora-name") || "";
    nameField.placeholder = defaultName();
    nameField.addEventListener("change", () => {
      store("taktora-name", nameField.value.trim());
      reconnectNow();                 // the server learns the name with the hello
    });
    document.addEventListener("keydown", onKey);
    // Space on a focused button would press it on release as well as stop the loco.
    document.addEventListener("keyup", (e) => {
      if (e.key === " " && !typing(document.activeElement)) e.preventDefault();
    });
    window.addEventListener("pagehide", () => send("goodbye"));
    // A phone suspends a page in the background; back in front it should not wait for the timer.
    document.addEventListener("visibilitychange", () => {
      if (!document.hidden && !state.socket && state.approval !== "rejected") connect();
    });
    addThrottle();
    render();
    connect();
    if ("serviceWorker" in navigator && location.protocol !== "file:") {
      navigator.serviceWorker.register("sw.js").catch(() => { /* the page works without it */ });
    }
  }

  start();
})();
