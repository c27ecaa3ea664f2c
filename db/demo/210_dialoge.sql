-- The sample dialog module: a plain text and a formatted RTF text, and two key snippets.
INSERT INTO demo_texte (id, txt, txt_rtf) VALUES
    (1, E'Lieferung bitte an die Warenannahme, Tor 3.\nAnsprechpartner: Herr Öztürk', ''),
    (2, E'Prüfbericht Gehäuse 4711\nMaße und Oberfläche in Ordnung.',
     E'{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman\\fcharset0 Times New Roman;}}\r\n'
     || E'{\\colortbl ;\\red192\\green0\\blue0;\\red0\\green112\\blue192;\\red255\\green255\\blue0;}\r\n'
     || E'\\viewkind4\\uc1\\pard\\qc\\sa120\\f0\\fs32\\b Pr\\''fcfbericht Geh\\''e4use 4711\\b0\\fs20\\par\r\n'
     || E'\\pard\\sa60 Ergebnis der \\i Eingangspr\\''fcfung\\i0  vom 12. M\\''e4rz: \\cf2\\b bestanden\\cf0\\b0 .\\par\r\n'
     || E'{\\pntext\\f0\\''b7\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent0{\\pntxtb\\''b7}}\\fi-360\\li360 Ma\\''dfe innerhalb der Toleranz\\par\r\n'
     || E'{\\pntext\\f0\\''b7\\tab}Oberfl\\''e4che \\ul ohne\\ulnone  Kratzer\\par\r\n'
     || E'{\\pntext\\f0\\''b7\\tab}Gewicht 1,2\\~kg (\\u8776?1,2\\~kg Soll)\\par\r\n'
     || E'\\pard\\sa60 Offene Punkte:\\par\r\n'
     || E'{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pndec{\\pntxta.}}\\fi-360\\li360 Etikett \\strike alt\\strike0  neu drucken\\par\r\n'
     || E'{\\pntext\\f0 2.\\tab}Zeichnung Rev.\\~C ablegen\\par\r\n'
     || E'\\pard\\qr\\f1\\fs20\\highlight3 Gepr\\''fcft: E. M\\''fcller\\highlight0\\par\r\n}');
SELECT setval(pg_get_serial_sequence('demo_texte', 'id'), 2);

INSERT INTO keysnippets (kbsc_keycode, kbsc_keystate, kbsc_text) VALUES
    (112, 5, 'Mit freundlichen Grüßen'),
    (71, 6, 'Sehr geehrte Damen und Herren,');

INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, mm_library, mm_proc)
VALUES (309, NULL, 80, 'Extras', NULL, NULL, NULL),
       (310, 309, 10, 'Dialoge', 'TFormDialogDemo', 'Dialoge.M', 'DIALOGE');
