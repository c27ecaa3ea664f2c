-- The body of a document sent by e-mail from the viewers.
INSERT INTO zu_tit (zt_ident, zt_lang, zt_txt) VALUES
('DOKU_SEND_EMAILTXT', 0, E'Sehr geehrte Damen und Herren,\n\nim Anhang erhalten Sie das gewünschte Dokument.\n\nMit freundlichen Grüßen'),
('DOKU_SEND_EMAILTXT', 3, E'Dear Sir or Madam,\n\nplease find the requested document attached.\n\nKind regards')
ON CONFLICT DO NOTHING;

-- Texts of printing, sending and the PDF viewer.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (3383, 'Ansicht', 'View'),
    (4258, 'Seite als Dokument heraustrennen', 'Split off page as document'),
    (4259, 'Dokumentname für neue Seite', 'Document name for the new page'),
    (17412, 'Yes=Alle Seiten|No=Nur aktuelle Seite|Cancel', 'Yes=All pages|No=Current page only|Cancel'),
    (26305, 'Dokument drucken mit Einstellungen (Standarddrucker)', 'Print document with settings (default printer)'),
    (26458, 'per E-Mail senden', 'Send by e-mail'),
    (31138, 'Dokument drucken (Standarddrucker)', 'Print document (default printer)')
ON CONFLICT DO NOTHING;
