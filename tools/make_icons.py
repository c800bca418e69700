#!/usr/bin/env python3
"""Writes the program's icons as small SVG files (16 x 16 view box)."""
import os

OUT = os.path.join(os.path.dirname(__file__), '..', 'src', 'desktop', 'icons')


def svg(body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16">'
            + body + '</svg>\n')


def envelope(fill='#fff7d6', stroke='#6b5a2a'):
    return (f'<rect x="1.5" y="3.5" width="13" height="9" rx="1" fill="{fill}" stroke="{stroke}"/>'
            f'<path d="M1.5 4 L8 9 L14.5 4" fill="none" stroke="{stroke}"/>')


def computer(screen='#bfe3ff'):
    return ('<rect x="1.5" y="2.5" width="13" height="9" rx="1" fill="#e8e8e8" stroke="#555"/>'
            f'<rect x="3" y="4" width="10" height="6" fill="{screen}"/>'
            '<rect x="6" y="12" width="4" height="1.5" fill="#777"/><rect x="4" y="13.5" width="8" height="1.5" fill="#555"/>')


def badge(text, color):
    size = 6 if len(text) > 1 else 8
    return (f'<rect x="5" y="7" width="11" height="9" rx="2" fill="{color}"/>'
            f'<text x="10.5" y="14" font-family="DejaVu Sans, sans-serif" font-size="{size}" font-weight="bold" '
            f'text-anchor="middle" fill="#fff">{text}</text>')


def funnel(text, color='#c0392b'):
    return ('<path d="M1 1.5 H11 L7.5 6 V10 L4.5 11.5 V6 Z" fill="#f4d03f" stroke="#8a6d00"/>' + badge(text, color))


CROSS = '<path d="M9 8 L15 14 M15 8 L9 14" stroke="#d00" stroke-width="2"/>'
QUESTION = ('<text x="12" y="15" font-family="DejaVu Sans, sans-serif" font-size="10" font-weight="bold" '
            'text-anchor="middle" fill="#d00">?</text>')
CLOCK = ('<circle cx="8" cy="8" r="6.5" fill="#fff" stroke="#335"/>'
         '<path d="M8 8 V3.5 M8 8 L11 10" stroke="#335" stroke-width="1.5" fill="none"/>')
PHONE = ('<path d="M3 2 h3 l1 3 -2 1.5 a8 8 0 0 0 4.5 4.5 l1.5 -2 3 1 v3 a1.5 1.5 0 0 1 -1.5 1.5 '
         'A12 12 0 0 1 1.5 3.5 A1.5 1.5 0 0 1 3 2 z" fill="#2e86c1" stroke="#1b4f72"/>')
WARNING = ('<path d="M8 1.5 L15 14.5 H1 Z" fill="#f7dc6f" stroke="#a04000"/>'
           '<rect x="7.2" y="5.5" width="1.6" height="5" fill="#000"/><rect x="7.2" y="11.5" width="1.6" height="1.6" fill="#000"/>')
INFO = ('<circle cx="8" cy="8" r="7" fill="#2e86c1"/><rect x="7" y="7" width="2" height="6" fill="#fff"/>'
        '<circle cx="8" cy="4.5" r="1.2" fill="#fff"/>')
MOBILE = ('<rect x="4" y="1" width="8" height="14" rx="1.5" fill="#444"/><rect x="5" y="3" width="6" height="8" fill="#9fe2bf"/>'
          '<circle cx="8" cy="13" r="0.9" fill="#ddd"/>')

ICONS = {
    'program': ('<rect x="0.5" y="2.5" width="15" height="11" rx="1.5" fill="#fff7d6" stroke="#6b5a2a"/>'
                '<path d="M0.5 3.5 L8 9 L15.5 3.5" fill="none" stroke="#6b5a2a"/>'
                '<path d="M7 10 H13 M10.5 7.5 L13.5 10 L10.5 12.5" stroke="#1e8449" stroke-width="1.8" fill="none"/>'),
    # toolbar strip
    'tool-start': computer() + '<path d="M5 7 H11 M9 5 L11 7 L9 9" stroke="#1e8449" stroke-width="1.5" fill="none"/>',
    'tool-preferences': ('<circle cx="8" cy="8" r="6.5" fill="#fff" stroke="#1b4f72"/>'
                         '<text x="8" y="12" font-family="DejaVu Sans, sans-serif" font-size="11" font-weight="bold" '
                         'text-anchor="middle" fill="#1b4f72">@</text>'),
    'tool-log': ('<text x="0.5" y="9" font-family="DejaVu Sans, sans-serif" font-size="7" font-weight="bold" fill="#333">LOG</text>'
                 '<circle cx="10.5" cy="10.5" r="3" fill="#d6eaf8" stroke="#1b4f72" stroke-width="1.2"/>'
                 '<path d="M12.6 12.6 L15 15" stroke="#1b4f72" stroke-width="2"/>'),
    'tool-accounts': ('<rect x="2" y="2" width="12" height="12" rx="1" fill="#fff" stroke="#333"/>'
                      '<path d="M4.5 8 L7 10.5 L11.5 5" stroke="#1e8449" stroke-width="2" fill="none"/>'),
    'tool-tray': ('<rect x="1.5" y="10.5" width="13" height="4" fill="#d5d8dc" stroke="#555"/>'
                  '<path d="M8 1.5 V9 M5 6 L8 9 L11 6" stroke="#1b4f72" stroke-width="1.8" fill="none"/>'),
    # status kinds 0..7
    'status-0': computer('#d5d8dc') + CROSS,
    'status-1': computer(),
    'status-2': '<path d="M8 1.5 L13.5 8 H10 V14.5 H6 V8 H2.5 Z" fill="#e74c3c" stroke="#922b21"/>',
    'status-3': '<path d="M8 14.5 L13.5 8 H10 V1.5 H6 V8 H2.5 Z" fill="#3498db" stroke="#1b4f72"/>',
    'status-4': CLOCK,
    'status-5': WARNING,
    'status-6': computer() + QUESTION,
    'status-7': PHONE,
    # history status codes 0..17
    'history-0': envelope() + '<path d="M7 10.5 L9.5 13 L15 7" stroke="#1e8449" stroke-width="2" fill="none"/>',
    'history-1': envelope('#e5e7e9', '#555') + CROSS,
    'history-2': envelope() + ('<path d="M11 6 V12.5 a2 2 0 0 0 4 0 V7" stroke="#555" stroke-width="1.2" fill="none"/>'
                               '<path d="M9 8 L15 14" stroke="#d00" stroke-width="1.5"/>'),
    'history-3': INFO,
    'history-4': ('<circle cx="8" cy="8" r="7" fill="#c0392b"/><rect x="7" y="3" width="2" height="6.5" fill="#fff"/>'
                  '<rect x="7" y="11" width="2" height="2" fill="#fff"/>'),
    'history-5': envelope() + badge('H', '#7d3c98'),
    'history-6': '<rect x="2.5" y="2.5" width="11" height="11" rx="2" fill="#eee" stroke="#aaa"/>',
    'history-7': MOBILE + '<path d="M9 6 H15 M13 4 L15 6 L13 8" stroke="#1e8449" stroke-width="1.5" fill="none"/>',
    'history-8': funnel('CT'),
    'history-9': funnel('Fm'),
    'history-10': funnel('To'),
    'history-11': funnel('Cc'),
    'history-12': funnel('Sb'),
    'history-13': funnel('XM'),
    'history-14': funnel('Dt'),
    'history-15': funnel('KB'),
    'history-16': funnel('?', '#7f8c8d'),
    'history-17': ('<path d="M1 1.5 H11 L7.5 6 V10 L4.5 11.5 V6 Z" fill="#f4d03f" stroke="#8a6d00"/>'
                   '<circle cx="11" cy="11" r="4.5" fill="#fff" stroke="#335"/>'
                   '<path d="M11 11 V8 M11 11 L13 12.5" stroke="#335" stroke-width="1.2" fill="none"/>'),
}

if __name__ == '__main__':
    os.makedirs(OUT, exist_ok=True)
    for name, body in ICONS.items():
        with open(os.path.join(OUT, name + '.svg'), 'w') as f:
            f.write(svg(body))
    with open(os.path.join(OUT, '..', 'resources.qrc'), 'w') as f:
        f.write('<RCC>\n  <qresource prefix="/">\n')
        for name in ICONS:
            f.write(f'    <file>icons/{name}.svg</file>\n')
        f.write('  </qresource>\n</RCC>\n')
