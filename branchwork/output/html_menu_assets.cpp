// The style sheet and the script of the HTML menu. Both are our own and use
// no library; the script only enhances markup that already works as a plain
// nested list of links.
#include "branchwork/output/html_menu.h"

namespace branchwork {

const std::string& HtmlMenuStyle() {
    static const std::string css = R"BWCSS(.bw-menu{box-sizing:border-box;display:flex;flex-direction:column;width:100%;max-width:var(--bw-width,200px);min-height:var(--bw-min-height,0);margin:0;padding:0;color:var(--bw-tree-fg,#000);background:var(--bw-tree-bg,#fff) var(--bw-background,none);border:var(--bw-border,0);font-family:var(--bw-tree-font,sans-serif),sans-serif;font-size:var(--bw-tree-font-size,14px);line-height:1.3}
.bw-menu *,.bw-menu *::before{box-sizing:border-box}
.bw-menu [hidden]{display:none!important}
.bw-menu ul{list-style:none;margin:0;padding:0}
.bw-tabs,.bw-tabstrip{order:var(--bw-tabs-order,0);display:flex;flex-wrap:wrap;gap:2px;margin:0;padding:2px;background:var(--bw-tab-bg,#f0f0f0)}
.bw-tab-link,.bw-tab{display:inline-block;min-height:24px;padding:.25em .7em;color:var(--bw-tab-fg,#000);background:var(--bw-tab-bg,#f0f0f0);border:1px solid currentColor;font-family:var(--bw-tab-font,sans-serif),sans-serif;font-size:var(--bw-tab-font-size,14px);text-decoration:none}
a.bw-tab-link:hover,.bw-tab:hover{color:var(--bw-tab-hover,red)}
.bw-tab[aria-selected="true"]{font-weight:bold;text-decoration:underline}
.bw-panel{padding:2px}
.bw-panel-link{margin:0 0 2px 0}
.bw-panel-link a{display:inline-flex;align-items:center;min-height:24px;color:var(--bw-tree-fg,#000)}
.bw-group{padding-left:1.2em!important}
.bw-row{display:flex;align-items:center;gap:.2em;min-height:24px}
.bw-toggle{flex:none;width:24px;height:24px;margin:0;padding:0;border:0;background:transparent;color:inherit;font:inherit;cursor:pointer}
.bw-toggle::before{content:"\25B8"}
.bw-toggle[aria-expanded="true"]::before{content:"\25BE"}
.bw-link,.bw-label{display:inline-flex;align-items:center;gap:.25em;min-height:24px;color:var(--bw-tree-fg,#000);text-decoration:none;overflow-wrap:anywhere}
.bw-link:hover{color:var(--bw-tree-hover,red);text-decoration:underline}
.bw-link[aria-current="page"]{color:var(--bw-sel-fg,#ff0);background:var(--bw-sel-bg,#00f)}
.bw-row>.bw-link:first-child,.bw-row>.bw-label:first-child{margin-left:calc(24px + .2em)}
.bw-menu:not([data-bw-ready]) .bw-row>:first-child{margin-left:0}
.bw-icon{flex:none;width:16px;height:16px}
.bw-menu a:focus-visible,.bw-menu button:focus-visible,.bw-panel:focus-visible{outline:2px solid currentColor;outline-offset:1px}
.bw-sr{position:absolute;width:1px;height:1px;margin:-1px;padding:0;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap;border:0}
)BWCSS";
    return css;
}

const std::string& HtmlMenuScript() {
    static const std::string js = R"BWJS((function () {
  'use strict';
  var KEYS = ['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Home', 'End', 'Escape'];

  function isYes(v) { return /^(yes|true|1)$/i.test(v || ''); }

  // The link of the page the menu is placed in gets aria-current="page".
  function markCurrent(menu) {
    var here = location.href.split('#')[0];
    var links = menu.querySelectorAll('a.bw-link, a.bw-tab-link');
    for (var i = 0; i < links.length; i++) {
      if (links[i].href.split('#')[0] === here) links[i].setAttribute('aria-current', 'page');
    }
  }

  function groupOf(li) {
    for (var c = li.firstElementChild; c; c = c.nextElementSibling) if (c.classList.contains('bw-group')) return c;
    return null;
  }
  function rowOf(li) { return li.querySelector(':scope > .bw-row'); }
  function toggleOf(li) { return li.querySelector(':scope > .bw-row > .bw-toggle'); }
  // The control arrow keys move to: the node's link, else its toggle.
  function primaryOf(li) {
    return li.querySelector(':scope > .bw-row > a.bw-link') || toggleOf(li);
  }
  function setOpen(li, open) {
    var g = groupOf(li), t = toggleOf(li);
    if (!g || !t) return;
    g.hidden = !open;
    t.setAttribute('aria-expanded', open ? 'true' : 'false');
    var img = li.querySelector(':scope > .bw-row img[data-bw-open-src]');
    if (img) {
      if (!img.hasAttribute('data-bw-closed-src')) img.setAttribute('data-bw-closed-src', img.getAttribute('src'));
      img.setAttribute('src', img.getAttribute(open ? 'data-bw-open-src' : 'data-bw-closed-src'));
    }
  }
  function isOpen(li) { var g = groupOf(li); return !!g && !g.hidden; }
  function parentNode(li) {
    var p = li.parentElement && li.parentElement.closest('li.bw-node');
    return p && li.closest('.bw-tree') === p.closest('.bw-tree') ? p : null;
  }
  function visibleNodes(tree) {
    var all = tree.querySelectorAll('li.bw-node'), out = [];
    for (var i = 0; i < all.length; i++) {
      var hiddenGroup = all[i].parentElement.closest('.bw-group[hidden]');
      if ((!hiddenGroup || !tree.contains(hiddenGroup)) && primaryOf(all[i])) out.push(all[i]);
    }
    return out;
  }
  function focusNode(li) { var p = li && primaryOf(li); if (p) p.focus(); }

  function initTree(tree, menu) {
    var start = isYes(menu.getAttribute('data-bw-autoexpand'));
    var nodes = tree.querySelectorAll('li.bw-node');
    for (var i = 0; i < nodes.length; i++) {
      var t = toggleOf(nodes[i]);
      if (!t) continue;
      t.hidden = false;
      var current = groupOf(nodes[i]).querySelector('[aria-current="page"]');
      setOpen(nodes[i], start || !!current);
    }
    tree.addEventListener('click', function (e) {
      var t = e.target.closest('.bw-toggle');
      if (t && tree.contains(t)) setOpen(t.closest('li.bw-node'), t.getAttribute('aria-expanded') !== 'true');
    });
    if (isYes(menu.getAttribute('data-bw-doubleclick'))) {
      tree.addEventListener('dblclick', function (e) {
        var row = e.target.closest('.bw-row');
        if (!row || e.target.closest('.bw-toggle')) return;
        var li = row.parentElement;
        if (toggleOf(li)) setOpen(li, !isOpen(li));
      });
    }
    tree.addEventListener('keydown', function (e) {
      if (KEYS.indexOf(e.key) < 0 || e.altKey || e.ctrlKey || e.metaKey) return;
      var li = e.target.closest && e.target.closest('li.bw-node');
      if (!li || !tree.contains(li)) return;
      var list = visibleNodes(tree), at = list.indexOf(li), t = toggleOf(li), p = parentNode(li);
      switch (e.key) {
        case 'ArrowDown': if (at + 1 < list.length) focusNode(list[at + 1]); break;
        case 'ArrowUp': if (at > 0) focusNode(list[at - 1]); break;
        case 'Home': focusNode(list[0]); break;
        case 'End': focusNode(list[list.length - 1]); break;
        case 'ArrowRight':
          if (t && !isOpen(li)) setOpen(li, true);
          else if (t) { var first = visibleNodes(groupOf(li))[0]; focusNode(first); }
          break;
        case 'ArrowLeft':
          if (t && isOpen(li)) setOpen(li, false);
          else if (p) focusNode(p);
          break;
        case 'Escape':
          var branch = p || (t && isOpen(li) ? li : null);
          if (!branch) return;
          setOpen(branch, false);
          toggleOf(branch).focus();
          break;
      }
      e.preventDefault();
    });
  }

  function initTabs(menu) {
    var strip = menu.querySelector('.bw-tabstrip');
    if (!strip) return;
    var tabs = Array.prototype.slice.call(strip.querySelectorAll('.bw-tab'));
    if (!tabs.length) return;
    strip.setAttribute('role', 'tablist');
    strip.setAttribute('aria-label', menu.getAttribute('aria-label') || 'Menu');
    var panels = tabs.map(function (tab) { return document.getElementById(tab.getAttribute('href').slice(1)); });
    function select(k, focus) {
      tabs.forEach(function (tab, i) {
        var on = i === k;
        tab.setAttribute('aria-selected', on ? 'true' : 'false');
        tab.tabIndex = on ? 0 : -1;
        if (panels[i]) panels[i].hidden = !on;
      });
      if (focus) tabs[k].focus();
    }
    var initial = parseInt(menu.getAttribute('data-bw-default-tab'), 10);
    if (!(initial >= 0 && initial < tabs.length)) initial = 0;
    tabs.forEach(function (tab, i) {
      var panel = panels[i];
      tab.setAttribute('role', 'tab');
      if (panel) {
        tab.setAttribute('aria-controls', panel.id);
        panel.setAttribute('role', 'tabpanel');
        panel.setAttribute('aria-labelledby', tab.id);
        panel.tabIndex = 0;
        if (panel.querySelector('[aria-current="page"]')) initial = i;
      }
      tab.addEventListener('click', function (e) { e.preventDefault(); select(i, true); });
    });
    strip.addEventListener('keydown', function (e) {
      var at = tabs.indexOf(e.target), n = tabs.length, to = -1;
      if (at < 0 || e.altKey || e.ctrlKey || e.metaKey) return;
      switch (e.key) {
        case 'ArrowRight': to = (at + 1) % n; break;
        case 'ArrowLeft': to = (at - 1 + n) % n; break;
        case 'Home': to = 0; break;
        case 'End': to = n - 1; break;
        case 'Enter': case ' ': select(at, true); e.preventDefault(); return;
        default: return;
      }
      tabs[to].focus();
      e.preventDefault();
    });
    select(initial, false);
  }

  function init() {
    var menus = document.querySelectorAll('nav.bw-menu[data-bw-menu]');
    for (var i = 0; i < menus.length; i++) {
      var menu = menus[i];
      if (menu.hasAttribute('data-bw-ready')) continue;
      menu.setAttribute('data-bw-ready', '1');
      markCurrent(menu);
      var trees = menu.querySelectorAll('.bw-tree');
      for (var k = 0; k < trees.length; k++) initTree(trees[k], menu);
      initTabs(menu);
    }
  }
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', init);
  else init();
})();
)BWJS";
    return js;
}

}  // namespace branchwork
