-- Texts of the number-range, password, input, note, resubmission and next-date dialogs.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (316, 'Bezeichnung', 'Description'),
    (338, 'Datum', 'Date'),
    (1235, 'Eingabe ungültig', 'Invalid input'),
    (2058, 'Bemerkungen', 'Remarks'),
    (2082, 'Passwort:', 'Password:'),
    (2702, 'Datum', 'Date'),
    (3552, 'Bearbeiter', 'Clerk'),
    (3821, 'Benutzer', 'User'),
    (3900, 'Betreff', 'Subject'),
    (4762, 'Passwort falsch', 'Wrong password'),
    (4769, '&OK', '&OK'),
    (10053, 'Abbrechen', 'Cancel'),
    (11101, 'Neue Nr. (F8)', 'New no. (F8)'),
    (11951, 'Neuer Termin', 'New date'),
    (17175, 'Passwort für %s', 'Password for %s'),
    (17176, 'Passwort-Dialog', 'Password dialog'),
    (17531, 'Bitte wählen Sie die #####.', 'Please choose the #####.'),
    (17532, 'Nummernkreisauswahl', 'Number range selection'),
    (17533, E'Die gewählte Nummer "%s" war schon vergeben.\nStattdessen wird "%s" verwendet.',
     E'The chosen number "%s" was already taken.\n"%s" is used instead.'),
    (17874, 'Änderungs-Logbuch', 'Change log'),
    (31056, 'Standardnummernkreis nicht vorhanden', 'No default number range'),
    (31057, E'Die Standardvorgabe ist grün markiert.\nMit F9 bestätigen Sie die Standardvorgabe sofort.',
     E'The default is marked green.\nF9 confirms the default at once.'),
    (31058, 'Über die Liste kann ein anderer Nummernkreis gewählt werden.',
     'Another number range can be chosen from the list.'),
    (31059, 'Die manuelle Eingabe einer abweichenden Nummer ist im unteren Feld möglich.',
     'A different number can be typed into the field below.'),
    (31193, 'Unternotiz', 'Sub-note')
ON CONFLICT (t_nr) DO NOTHING;

-- Column captions of the number-range list.
INSERT INTO tablefieldinfo (tablename, field, alias) VALUES
    ('nummernkreis', '', 'Nummernkreise'),
    ('nummernkreis', 'nc_ident', 'Kennung'),
    ('nummernkreis', 'nc_description', 'Bezeichnung'),
    ('nummernkreis', 'nc_num', 'Letzte Nr.'),
    ('nummernkreis', 'nc_preview', 'Nächste Nummer'),
    ('nummernkreis', 'nc_default', 'Standard')
ON CONFLICT DO NOTHING;
