-- Number ranges of the demo texts, with their group marks, and the demo database counts as one
-- for development, so the IDE may change its texts.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (40000, 'TEXT0: Adressen', 'TEXT0: Addresses'),
    (40001, 'Adresse', 'Address'),
    (40002, 'Ansprechpartner', 'Contact'),
    (40003, 'Lieferadresse', NULL),
    (40099, 'TEXT0: Adressen ENDE', 'TEXT0: Addresses END'),
    (40100, 'TEXT0: Planung', 'TEXT0: Planning'),
    (40101, 'Plantafel', 'Planning board'),
    (40199, 'TEXT0: Planung ENDE', 'TEXT0: Planning END')
ON CONFLICT (t_nr) DO NOTHING;

INSERT INTO text0numcircle (start_group, start_nr, end_nr, end_group, descr) VALUES
    (40000, 40000, 40099, 40099, 'Adressen'),
    (40100, 40100, 40199, 40199, 'Planung'),
    (NULL, 40200, 40299, NULL, NULL);

INSERT INTO settings (s_name, s_value) VALUES ('System.DevelopDatabase', 'T')
ON CONFLICT (s_name) DO UPDATE SET s_value = EXCLUDED.s_value;
