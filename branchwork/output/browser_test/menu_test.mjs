// Drives the HTML menus branchwork-cli sends into pages, in headless
// chromium: the keyboard patterns of the tabs and of the disclosure trees,
// Tab-key reachability of every link, axe-core, the page with JavaScript
// off, and the layout at 320 px.
//
//   node menu_test.mjs BRANCHWORK_CLI CHROMIUM [--screenshots DIR]
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import puppeteer from 'puppeteer-core';

const require = createRequire(import.meta.url);
const [cli, chromium] = process.argv.slice(2);
const shotsAt = process.argv.indexOf('--screenshots');
const shotsDir = shotsAt > 0 ? process.argv[shotsAt + 1] : null;

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'bw_browser_'));
let failures = 0, passes = 0;
function check(name, ok, detail) {
  if (ok) { passes++; return; }
  failures++;
  console.log('FAIL: ' + name + (detail !== undefined ? ' (' + JSON.stringify(detail) + ')' : ''));
}

// ---- pages --------------------------------------------------------------

const P = (name, value) => `\t<PARAM NAME="${name}" VALUE="${value}">\r\n`;
const item = (caption, url, level) => `${caption}; ${url || 'None'}; None; ${level};  ;  ; ${caption} status; None; None`;
const treeItems = [
  item('Products', 'p.htm', 0), item('Widgets', 'w.htm', 1), item('Gadgets', '', 1), item('Gizmo', 'g.htm', 2),
  item('Home', 'index.html', 0), item('About', 'a.htm', 0)];
const darkStyle = (prefix) => P(prefix + 'BG', '30,30,30') + P(prefix + 'FG', '230,230,230') +
  P(prefix === 'TREE_' ? 'TREE_SEL_BG' : 'SELBACKGROUND', '255,200,0') + P(prefix === 'TREE_' ? 'TREE_SEL_FG' : 'SELFOREGROUND', '0,0,0');

function projects(dark) {
  const tab = '<APPLET CODE="Voltan2.class" WIDTH=600 HEIGHT=40>\r\n' +
    (dark ? P('TAB_BG', '40,40,48') + P('TAB_FG', '235,235,235') : '') +
    P('TAB_FONT', 'DejaVu Sans; PLAIN;14') +
    P('TAB0', 'Home; index.html; None; The start; None; None') + P('TAB1', 'Products; p.htm; None; What we sell; None; None') +
    P('TAB2', 'A long tab caption that wraps; l.htm; _blank; None; None; None') + P('TAB3', 'Contact; c.htm; None; None; None; None') +
    '</APPLET>\r\n';
  const tree = '<APPLET CODE="Voltar.class" WIDTH=260 HEIGHT=300>\r\n' + P('FONT', 'DejaVu Sans; PLAIN;14') +
    (dark ? P('BACKGROUND', '30,30,30') + P('FOREGROUND', '230,230,230') + P('SELBACKGROUND', '255,200,0') + P('SELFOREGROUND', '0,0,0') : '') +
    treeItems.map((v, i) => P('I' + i, v)).join('') + '</APPLET>\r\n';
  const both = '<APPLET CODE="Voltarix.class" WIDTH=320 HEIGHT=300>\r\n' + P('TAB_FONT', 'DejaVu Sans; PLAIN;14') +
    P('TREE_FONT', 'DejaVu Sans; PLAIN;14') + (dark ? P('TAB_BG', '40,40,48') + P('TAB_FG', '235,235,235') + darkStyle('TREE_') : '') +
    P('TAB0', 'Shop; shop.htm; None; The shop; None; None') + treeItems.map((v, i) => P('T0I' + i, v)).join('') +
    P('TAB1', 'Help; None; None; None; None; None') + P('T1I0', item('FAQ', 'faq.htm', 0)) + P('T1I1', item('Mail', 'mail.htm', 0)) +
    P('TAB2', 'News; news.htm; None; None; None; None') + P('T2I0', item('Today', 't.htm', 0)) +
    '</APPLET>\r\n';
  return { tab, tree, both };
}

const pageText = (dark) => '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n' +
  '<meta name="viewport" content="width=device-width, initial-scale=1">\n<title>Menu test</title>\n' +
  (dark ? '<style>body{background:#111;color:#eee}</style>\n' : '') +
  '</head>\n<body>\n<header><p>Site</p></header>\n<!-- branchwork -->\n<main><h1>Menu test</h1><p>Text.</p></main>\n</body>\n</html>\n';

// Sends each kind into its own page (index.html, so that the "Home" links
// are the current page); answers the page paths by kind.
function makePages(dark, extra = [], tag = '') {
  const out = {};
  for (const [kind, text] of Object.entries(projects(dark))) {
    const dir = path.join(work, kind + (dark ? '_dark' : '') + tag);
    fs.mkdirSync(dir, { recursive: true });
    fs.writeFileSync(path.join(dir, 'menu.bwk'), text);
    fs.writeFileSync(path.join(dir, 'index.html'), pageText(dark));
    for (const stub of ['p.htm', 'w.htm', 'g.htm', 'a.htm']) fs.writeFileSync(path.join(dir, stub), '<!DOCTYPE html><title>' + stub + '</title>');
    execFileSync(cli, ['send', path.join(dir, 'menu.bwk'), '--page', path.join(dir, 'index.html'), '--html-menu', ...extra],
                 { stdio: ['ignore', 'ignore', 'pipe'] });
    out[kind] = path.join(dir, 'index.html');
  }
  return out;
}

// ---- helpers in the page ------------------------------------------------

const url = (p) => 'file://' + p;
async function focusedInfo(page) {
  return page.evaluate(() => {
    const e = document.activeElement;
    const li = e && e.closest('li.bw-node');
    const cap = li && li.querySelector(':scope > .bw-row [data-bw-caption]');
    return {
      tag: e ? e.tagName.toLowerCase() : '', cls: e ? e.className : '',
      caption: cap ? cap.textContent : (e ? e.textContent.trim() : ''),
      role: e ? e.getAttribute('role') : null,
    };
  });
}
async function expandedOf(page, caption) {
  return page.evaluate((c) => {
    for (const li of document.querySelectorAll('li.bw-node')) {
      const cap = li.querySelector(':scope > .bw-row [data-bw-caption]');
      if (cap && cap.textContent === c) {
        const t = li.querySelector(':scope > .bw-row > .bw-toggle');
        const g = li.querySelector(':scope > .bw-group');
        return t ? { expanded: t.getAttribute('aria-expanded'), hidden: g.hidden, controls: t.getAttribute('aria-controls') === g.id } : null;
      }
    }
    return 'missing';
  }, caption);
}
async function focusLink(page, caption) {
  await page.evaluate((c) => {
    for (const cap of document.querySelectorAll('[data-bw-caption]')) {
      if (cap.textContent === c) { (cap.closest('a') || cap.closest('li').querySelector('.bw-toggle')).focus(); return; }
    }
  }, caption);
}
async function press(page, key) { await page.keyboard.press(key); }

// Tab from the top of the page until focus leaves the menu; answers the
// hrefs (or roles) of everything focused inside it.
async function tabWalk(page) {
  // Sequential focus starts from an element placed at the top of the page.
  await page.evaluate(() => {
    document.querySelectorAll('[data-walked]').forEach((e) => e.removeAttribute('data-walked'));
    document.body.insertAdjacentHTML('afterbegin', '<span id="walk-start" tabindex="-1"></span>');
    document.getElementById('walk-start').focus();
  });
  const seen = [];
  for (let i = 0; i < 80; i++) {
    await press(page, 'Tab');
    const f = await page.evaluate(() => {
      const e = document.activeElement;
      if (!e || e === document.body || e.hasAttribute('data-walked')) return { done: true };
      e.setAttribute('data-walked', '');
      return { inMenu: !!e.closest('nav.bw-menu'), href: e.getAttribute('href'), role: e.getAttribute('role'), tag: e.tagName };
    });
    if (f.done) break;
    if (f.inMenu) seen.push(f);
    else if (seen.length) break;
  }
  return seen;
}

async function axeViolations(page) {
  await page.addScriptTag({ path: require.resolve('axe-core/axe.min.js') });
  const r = await page.evaluate(async () => (await window.axe.run(document)).violations.map((v) => v.id + ': ' + v.nodes.map((n) => n.target.join(' ')).join(', ')));
  return r;
}

// ---- the tests ----------------------------------------------------------

async function treeKeyboard(page, file) {
  await page.goto(url(file));
  check('tree: aria-current on the link of this page', await page.$eval('a.bw-link[aria-current="page"] [data-bw-caption]', (e) => e.textContent) === 'Home');
  check('tree: branches start closed', JSON.stringify(await expandedOf(page, 'Products')) === JSON.stringify({ expanded: 'false', hidden: true, controls: true }));
  await focusLink(page, 'Products');
  await press(page, 'ArrowRight');
  check('tree: Right opens a closed branch', (await expandedOf(page, 'Products')).expanded === 'true');
  check('tree: Right on a closed branch keeps focus', (await focusedInfo(page)).caption === 'Products');
  await press(page, 'ArrowRight');
  check('tree: Right on an open branch moves to its first child', (await focusedInfo(page)).caption === 'Widgets');
  await press(page, 'ArrowDown');
  let f = await focusedInfo(page);
  check('tree: Down reaches a branch without link by its button', f.caption === 'Gadgets' && f.tag === 'button', f);
  await press(page, 'Enter');
  check('tree: Enter on the button opens the branch', (await expandedOf(page, 'Gadgets')).expanded === 'true');
  await press(page, 'ArrowRight');
  check('tree: Right moves into the opened branch', (await focusedInfo(page)).caption === 'Gizmo');
  await press(page, 'ArrowLeft');
  check('tree: Left on a leaf moves to its parent', (await focusedInfo(page)).caption === 'Gadgets');
  await press(page, 'ArrowLeft');
  check('tree: Left on an open branch closes it', (await expandedOf(page, 'Gadgets')).expanded === 'false');
  await press(page, 'ArrowUp');
  check('tree: Up moves to the previous visible node', (await focusedInfo(page)).caption === 'Widgets');
  await press(page, 'Escape');
  f = await focusedInfo(page);
  check('tree: Esc closes the open branch', (await expandedOf(page, 'Products')).expanded === 'false');
  check('tree: Esc returns focus to the branch button', f.caption === 'Products' && f.tag === 'button', f);
  await press(page, 'End');
  check('tree: End moves to the last visible node', (await focusedInfo(page)).caption === 'About');
  await press(page, 'ArrowDown');
  check('tree: Down at the end stays', (await focusedInfo(page)).caption === 'About');
  await press(page, 'Home');
  check('tree: Home moves to the first node', (await focusedInfo(page)).caption === 'Products');
  check('tree: axe reports no violations with a branch closed', (await axeViolations(page)).length === 0, await axeViolations(page));
  await press(page, 'ArrowRight');
  await press(page, 'ArrowRight');
  check('tree: focus on Widgets before Enter', (await focusedInfo(page)).caption === 'Widgets');
  await Promise.all([page.waitForNavigation({ timeout: 5000 }).catch(() => null), press(page, 'Enter')]);
  check('tree: Enter follows the link', page.url().endsWith('/w.htm'), page.url());
}

async function tabsKeyboard(page, file) {
  await page.goto(url(file));
  const state = () => page.evaluate(() => [...document.querySelectorAll('.bw-tabstrip [role="tab"]')].map((t) => ({
    selected: t.getAttribute('aria-selected'), tabindex: t.tabIndex,
    panelHidden: document.getElementById(t.getAttribute('aria-controls')).hidden,
    panelRole: document.getElementById(t.getAttribute('aria-controls')).getAttribute('role'),
    labelled: document.getElementById(t.getAttribute('aria-controls')).getAttribute('aria-labelledby') === t.id,
  })));
  let s = await state();
  check('tabs: three ARIA tabs in a tablist', s.length === 3 && (await page.$('.bw-tabstrip[role="tablist"]')) !== null, s);
  check('tabs: first selected, one Tab stop', s[0].selected === 'true' && s[0].tabindex === 0 && s[1].tabindex === -1 && s[2].tabindex === -1, s);
  check('tabs: panels are tabpanels labelled by their tab, only the selected shown',
        s.every((t, i) => t.panelRole === 'tabpanel' && t.labelled && t.panelHidden === (i !== 0)), s);
  // The tab the page is in: "Home" is in the first panel, so it stays first.
  await page.focus('#bwm-tab-0');
  await press(page, 'ArrowRight');
  let f = await focusedInfo(page);
  s = await state();
  check('tabs: Right moves focus to the next tab', f.caption === 'Help' && f.role === 'tab', f);
  check('tabs: moving focus does not select (manual activation)', s[0].selected === 'true' && s[1].selected === 'false', s);
  await press(page, 'Enter');
  s = await state();
  check('tabs: Enter selects the focused tab and shows its panel', s[1].selected === 'true' && !s[1].panelHidden && s[0].panelHidden && s[1].tabindex === 0 && s[0].tabindex === -1, s);
  await press(page, 'ArrowRight');
  await press(page, 'ArrowRight');
  check('tabs: Right on the last tab wraps to the first', (await focusedInfo(page)).caption === 'Shop');
  await press(page, 'ArrowLeft');
  check('tabs: Left on the first tab wraps to the last', (await focusedInfo(page)).caption === 'News');
  await press(page, 'Home');
  check('tabs: Home moves to the first tab', (await focusedInfo(page)).caption === 'Shop');
  await press(page, 'End');
  check('tabs: End moves to the last tab', (await focusedInfo(page)).caption === 'News');
  await press(page, ' ');
  s = await state();
  check('tabs: Space selects', s[2].selected === 'true' && !s[2].panelHidden, s);
  check('tabs: the page did not scroll or navigate', page.url() === url(file));
  check('tabs: axe reports no violations', (await axeViolations(page)).length === 0, await axeViolations(page));
}

// Every link of the menu is reached by the Tab key: in the Tab kind and the
// tree started expanded directly; in TabAndTree for each tab after choosing it.
async function reachability(page, files) {
  await page.goto(url(files.tab));
  let hrefs = (await tabWalk(page)).map((x) => x.href);
  check('reach: every tab link by Tab', JSON.stringify(hrefs) === JSON.stringify(['index.html', 'p.htm', 'l.htm', 'c.htm']), hrefs);
  await page.goto(url(files.tree));
  hrefs = (await tabWalk(page)).filter((x) => x.href).map((x) => x.href);
  check('reach: every tree link by Tab when started expanded', JSON.stringify(hrefs) === JSON.stringify(['p.htm', 'w.htm', 'g.htm', 'index.html', 'a.htm']), hrefs);
  await page.goto(url(files.both));
  // Branches of the first tab start closed: its links are the visible ones.
  const want = [['shop.htm', 'p.htm', 'index.html', 'a.htm'], ['faq.htm', 'mail.htm'], ['news.htm', 't.htm']];
  for (let k = 0; k < 3; k++) {
    await page.evaluate((k) => document.getElementById('bwm-tab-' + k).click(), k);
    const walk = await tabWalk(page);
    hrefs = walk.filter((x) => x.href && !x.href.startsWith('#')).map((x) => x.href);
    check('reach: tab ' + k + ' then its panel links by Tab', JSON.stringify(hrefs) === JSON.stringify(want[k]), hrefs);
    check('reach: one Tab stop in the tab list', walk.filter((x) => x.role === 'tab').length === 1, walk);
  }
}

async function noScript(browser, files) {
  const page = await browser.newPage();
  await page.setJavaScriptEnabled(false);
  // Tab links; tree links; in TabAndTree the 3 tab links, 2 panel links and 5 + 2 + 1 tree links.
  const expected = { tab: 4, tree: 5, both: 3 + 2 + 5 + 2 + 1 };
  for (const [kind, file] of Object.entries(files)) {
    await page.goto(url(file));
    const r = await page.evaluate(() => {
      const links = [...document.querySelectorAll('nav.bw-menu a[href]')];
      const shown = links.filter((a) => { const b = a.getBoundingClientRect(); return b.width > 0 && b.height > 0 && getComputedStyle(a).visibility === 'visible'; });
      const buttons = [...document.querySelectorAll('nav.bw-menu button')].filter((b) => b.getBoundingClientRect().height > 0);
      return { links: links.length, shown: shown.length, buttons: buttons.length, roles: document.querySelectorAll('nav.bw-menu [role]').length };
    });
    check('no-script ' + kind + ': every link shown', r.links === expected[kind] && r.shown === r.links, r);
    check('no-script ' + kind + ': no inert buttons or widget roles', r.buttons === 0 && r.roles === 0, r);
  }
  await page.close();
}

async function smallScreen(page, files) {
  await page.setViewport({ width: 320, height: 640 });
  for (const [kind, file] of Object.entries(files)) {
    await page.goto(url(file));
    await page.evaluate(() => document.querySelectorAll('.bw-toggle[aria-expanded="false"]').forEach((b) => b.click()));
    const r = await page.evaluate(() => {
      const nav = document.querySelector('nav.bw-menu').getBoundingClientRect();
      const items = [...document.querySelectorAll('nav.bw-menu a, nav.bw-menu button:not([hidden])')].map((e) => e.getBoundingClientRect()).filter((b) => b.height > 0);
      return { scroll: document.documentElement.scrollWidth, navRight: nav.right, outside: items.filter((b) => b.left < 0 || b.right > 320.5).length,
               small: items.filter((b) => b.height < 24).length };
    });
    check('320px ' + kind + ': no horizontal scrolling', r.scroll <= 320 && r.navRight <= 320.5, r);
    check('320px ' + kind + ': every control inside the viewport', r.outside === 0, r);
    check('320px ' + kind + ': targets at least 24px high', r.small === 0, r);
    check('320px ' + kind + ': axe reports no violations', (await axeViolations(page)).length === 0, await axeViolations(page));
  }
  await page.setViewport({ width: 1280, height: 800 });
}

async function screenshots(browser) {
  fs.mkdirSync(shotsDir, { recursive: true });
  const page = await browser.newPage();
  for (const dark of [false, true]) {
    const files = makePages(dark, [], '_shot');
    for (const [kind, file] of Object.entries(files)) {
      for (const width of [1280, 360]) {
        await page.setViewport({ width, height: 480 });
        await page.goto(url(file));
        await page.evaluate(() => { const b = document.querySelector('.bw-toggle'); if (b) b.click(); });
        const name = `html-menu-${kind === 'both' ? 'tab-and-tree' : kind}-${dark ? 'dark' : 'default'}-${width}.png`;
        await page.screenshot({ path: path.join(shotsDir, name) });
      }
    }
  }
  await page.close();
}

const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
try {
  const inline = makePages(false);
  // The tree started expanded, for reaching every link by Tab alone.
  const expandedDir = path.join(work, 'tree_expanded');
  fs.mkdirSync(expandedDir);
  fs.writeFileSync(path.join(expandedDir, 'menu.bwk'), projects(false).tree.replace('</APPLET>', P('AUTOEXPAND', 'Yes') + '</APPLET>'));
  fs.writeFileSync(path.join(expandedDir, 'index.html'), pageText(false));
  execFileSync(cli, ['send', path.join(expandedDir, 'menu.bwk'), '--page', path.join(expandedDir, 'index.html'), '--html-menu'], { stdio: 'ignore' });
  const external = makePages(false, ['--external'], '_ext');

  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });
  for (const [form, files] of [['inline', inline], ['external', external]]) {
    console.log('-- ' + form + ' script and style');
    await treeKeyboard(page, files.tree);
    await tabsKeyboard(page, files.both);
    await page.goto(url(files.tab));
    check('tab kind: axe reports no violations', (await axeViolations(page)).length === 0, await axeViolations(page));
    check('tab kind: aria-current on the link of this page', (await page.$eval('a[aria-current="page"]', (e) => e.getAttribute('href'))) === 'index.html');
  }
  await reachability(page, { ...inline, tree: path.join(expandedDir, 'index.html') });
  await noScript(browser, inline);
  await smallScreen(page, inline);
  if (shotsDir) await screenshots(browser);
} finally {
  await browser.close();
  fs.rmSync(work, { recursive: true, force: true });
}
console.log(`${passes} checks passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
