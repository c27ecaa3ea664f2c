-- Texts of the status bar, the record information window and the resubmission; the categories a
-- note can be given.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (1396, 'Informationen', 'Information'),
    (11837, 'Alle löschen', 'Delete all'),
    (15725, 'Bitte einen Schlüsselbegriff eingeben.', 'Please enter a keyword.'),
    (17523, 'Notiz: ', 'Note: '),
    (17618, 'Kategorie', 'Category'),
    (26238, 'Zu diesem Datensatz gibt es noch keine Notiz. Eine neue Notiz anlegen?',
     'There is no note for this record yet. Create a new note?'),
    (26680, 'Letzten Hinweis als Dialog', 'Show the last note as a dialog')
ON CONFLICT (t_nr) DO NOTHING;

INSERT INTO standardsql (ss_key, ss_sql, ss_descr) VALUES
    ('System.CommentsKategorien',
     'SELECT menubez, menudata FROM (VALUES (1, ''Telefonat'', ''TEL''), (2, ''Besuch'', ''BES''), '
     '(3, ''E-Mail'', ''MAIL''), (4, ''Reklamation'', ''REK''), (5, ''Sonstiges'', ''SON'')) '
     'AS k(pos, menubez, menudata) ORDER BY pos',
     'Kategorien der Notizen: Menütext und Wert')
ON CONFLICT (ss_key) DO NOTHING;
