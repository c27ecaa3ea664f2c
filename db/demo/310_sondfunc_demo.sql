-- The address module's lookups, special functions and dynamic settings.
INSERT INTO f2poss (modulname, feldname, fastf2, f2_query, f2_filter) VALUES
    ('TFormAdress', 'EdOrt', false, 'SELECT DISTINCT ort, plz FROM adressen ORDER BY ort', NULL),
    ('TFormAdress', 'EdPlz', true, 'SELECT DISTINCT plz, ort FROM adressen ORDER BY plz',
     'plz LIKE :Self');

INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (90101, 'Ort in Großbuchstaben', 'Town in capitals'),
    (90102, 'Schreibt den Ort der Adresse in Großbuchstaben', 'Writes the town in capitals'),
    (90103, 'E-Mail-Adresse entfernen', 'Remove e-mail address'),
    (90104, 'Den Ort dieser Adresse in Großbuchstaben schreiben?', 'Write the town in capitals?')
ON CONFLICT (t_nr) DO NOTHING;

INSERT INTO sondfunc (sf_sqltable, sf_txtnr, sf_hinttxtnr, sf_imageindex, sf_menubutton, sf_sql,
                      sf_maketext, sf_nr) VALUES
    ('adressen', 90101, 90102, 291, true,
     'UPDATE adressen SET ort = upper(ort) WHERE dbrid = :dbrid', 90104, 1),
    ('adressen', 90103, 0, NULL, false,
     'UPDATE adressen SET email = NULL WHERE dbrid = :dbrid', NULL, 2);

INSERT INTO settingsdyn (sd_type, sd_config) VALUES
    ('menuitem', E'[modul_settings]\nname=TFormAdress\ncaption=Standardland der Adressen');
