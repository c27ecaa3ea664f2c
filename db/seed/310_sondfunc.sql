-- Texts of the special functions and the settings button.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (31256, 'Sonderfunktion ausführen?', 'Run special function?')
ON CONFLICT (t_nr) DO NOTHING;
