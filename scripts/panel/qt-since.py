#!/usr/bin/env python3
"""Looks up the Qt version that introduced each Qt symbol, in Debian's Qt 5 documentation.

    qt-since.py < symbols        one mangled symbol a line; prints "SYMBOL<TAB>SINCE<TAB>NOTE"

SINCE comes from the function's "This function was introduced in Qt 5.x" note (qtbase5-doc-html,
qtserialport5-doc-html), or from its class's when the function has none, else 5.0. A symbol the
documentation does not describe (QtPrivate::..., helpers behind inline calls) gets "?": its version
is that of the public call bringing it in, for a person to fill in. Used by check-imports.sh --suggest.
"""
import html
import os
import re
import subprocess
import sys

DOCS = os.environ.get("VANE_QT_DOCS", "/usr/share/qt5/doc")
MODULES = ("qtcore", "qtnetwork", "qtserialport")
TYPEDEFS = {
    "qint64": "long long", "qlonglong": "long long", "quint64": "unsigned long long",
    "qulonglong": "unsigned long long", "qint32": "int", "quint32": "unsigned int",
    "uint": "unsigned int", "ushort": "unsigned short", "uchar": "unsigned char",
    "qint16": "short", "quint16": "unsigned short", "qint8": "signed char", "quint8": "unsigned char",
    "qreal": "double", "qsizetype": "int", "ulong": "unsigned long", "QSerialPort::Handle": "int",
}


def version_key(v):
    return tuple(int(x) for x in v.split("."))


def split_top(text, sep=","):
    pieces, depth, cur = [], 0, ""
    for ch in text:
        if ch in "(<[":
            depth += 1
        elif ch in ")>]":
            depth -= 1
        if ch == sep and depth == 0:
            pieces.append(cur)
            cur = ""
        else:
            cur += ch
    if cur.strip():
        pieces.append(cur)
    return [p.strip() for p in pieces]


def norm_type(t):
    """A parameter type in one spelling: typedefs expanded, no scopes, const after the type, no spaces."""
    t = re.sub(r"\s*=.*$", "", t).strip()
    t = re.sub(r"\b(\w+(::\w+)*)\b", lambda m: TYPEDEFS.get(m.group(1), m.group(1)), t)
    if t.startswith("const "):
        m = re.match(r"const (.*?)\s*([&*]*)$", t)
        t = m.group(1) + " const" + m.group(2)
    t = re.sub(r"\b\w+::", "", t).replace(" ", "")
    # The documentation writes some const& parameters as by-value; no overload differs by that alone.
    return re.sub(r"const&$", "", t)


def demangle(symbols):
    out = subprocess.run(["c++filt"], input="\n".join(symbols), capture_output=True, text=True).stdout
    return out.splitlines()


def parse(demangled):
    """(class or namespace path, function name, parameter types, const) of a demangled name."""
    m = re.match(r"(vtable|typeinfo|typeinfo name) for (.*)$", demangled)
    if m:
        return m.group(2), None, None, False
    depth, open_at = 0, -1
    op = re.search(r"\boperator\s*(\(\)|[^(]+)", demangled)
    if op:  # operator<<, operator(), ...: the parameters follow the operator's own characters
        open_at = demangled.index("(", op.end())
    for i, ch in enumerate(demangled):
        if open_at >= 0:
            break
        if ch == "(" and depth == 0:
            open_at = i
        elif ch == "<":
            depth += 1
        elif ch == ">":
            depth -= 1
    if open_at < 0:
        return demangled.rsplit("::", 1)[0] if "::" in demangled else "", demangled.rsplit("::", 1)[-1], None, False
    name = demangled[:open_at]
    close = demangled.rfind(")")
    params = [norm_type(p) for p in split_top(demangled[open_at + 1:close]) if p != "void"]
    const = demangled[close + 1:].strip().startswith("const")
    scope, _, fn = name.rpartition("::")
    return scope, fn, params, const


class Page:
    def __init__(self, path):
        self.text = open(path, encoding="utf-8", errors="replace").read()
        m = re.search(r"This (?:class|namespace) was introduced in Qt (5\.\d+)", self.text)
        self.since = m.group(1) if m else "5.0"
        self.functions = []  # (name, params, const, since)
        # Access functions of properties are listed under the property, with its since-note.
        self.accessors = {}
        for block in re.split(r'(?=<h3 class="fn")', self.text)[1:]:
            if re.match(r'<h3 class="fn" id="[^"]*-prop"', block):
                since_m = re.search(r"This property was introduced in Qt (5\.\d+)", block)
                for name in re.findall(r'<span class="name"><b>(\w+)</b></span>', block):
                    self.accessors[name] = since_m.group(1) if since_m else None
        blocks = re.split(r'(?=<h3 class="fn")', self.text)[1:]
        for block in blocks:
            head = re.match(r'<h3 class="fn"[^>]*>(.*?)</h3>', block, re.S)
            if not head:
                continue
            sig = re.sub(r"<i>.*?</i>", "", head.group(1))
            sig = html.unescape(re.sub(r"<[^>]+>", "", sig))
            name_m = re.search(r'<span class="name">(.*?)</span>', head.group(1))
            if not name_m:
                continue
            name = html.unescape(re.sub(r"<[^>]+>", "", name_m.group(1)))
            m = re.search(r"\((.*)\)\s*(const)?", sig)
            params = [norm_type(p) for p in split_top(m.group(1))] if m else []
            since_m = re.search(r"This function was introduced in Qt (5\.\d+)", block)
            self.functions.append((name, params, bool(m and m.group(2)), since_m.group(1) if since_m else None))


_pages = {}


def page_for(scope):
    if scope in _pages:
        return _pages[scope]
    found = None
    base = scope.lower().replace("::", "-") + ".html"
    for module in MODULES:
        path = os.path.join(DOCS, module, base)
        if os.path.exists(path):
            found = Page(path)
            break
    _pages[scope] = found
    return found


MOC_MEMBERS = ("staticMetaObject", "metaObject", "qt_metacall", "qt_metacast", "qt_static_metacall")


def since(symbol, demangled):
    scope, fn, params, const = parse(demangled)
    if not scope and params:
        # A non-member (operator==, operator<<, ...) is documented with the classes it takes.
        for cls in re.findall(r"\b(Q[A-Za-z]+)\b", " ".join(params)):
            page = page_for(cls)
            if page and any(f[0] == fn and f[1] == params for f in page.functions):
                scope = cls
                break
    page = page_for(scope) if scope else None
    if page is None:
        return "?", "not in the documentation: the version of the public call that brings it in"
    if fn is None or fn in MOC_MEMBERS:
        return page.since, "class"
    candidates = [f for f in page.functions if f[0] == fn]
    if not candidates and fn in page.accessors:
        return max(page.accessors[fn] or page.since, page.since, key=version_key), "property"
    if not candidates:
        return "?", "not documented on %s's page: the version of the public call that brings it in" % scope
    if params is not None:
        exact = [f for f in candidates if f[1] == params and f[2] == const]
        if exact:
            candidates = exact
    versions = sorted({f[3] or page.since for f in candidates}, key=version_key)
    floor = max(versions[-1], page.since, key=version_key)
    if len(versions) > 1:
        return floor + "?", "overloads introduced in " + ", ".join(versions) + ": check which this is"
    return floor, ""


def main():
    symbols = [line.split()[0] for line in sys.stdin if line.strip()]
    for symbol, demangled in zip(symbols, demangle(symbols)):
        version, note = since(symbol, demangled)
        print("%s\t%s\t%s" % (symbol, version, note))


if __name__ == "__main__":
    main()
