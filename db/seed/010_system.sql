-- Texts and settings the database layer itself uses.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (1, 'Ja', 'Yes'),
    (2, 'Nein', 'No'),
    (3, 'Abbrechen', 'Cancel'),
    (4, 'OK', 'OK');

INSERT INTO settings (s_name, s_value) VALUES
    ('System.LogLevel', '2');
