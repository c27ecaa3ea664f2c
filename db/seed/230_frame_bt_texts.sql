-- Texts of the report button bar.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (1235, 'Eingabe ungültig', 'Invalid input'),
    (2928, 'Hilfe', 'Help'),
    (3163, 'Einstellungen des Python-Skripts', 'Python script options'),
    (5217, '&Ok', '&Ok'),
    (5218, '&Abbrechen', '&Cancel'),
    (10053, 'Den Dialog schließen, ohne etwas auszuführen', 'Close the dialog without running anything'),
    (17436, 'Eingaben übernehmen und den Bericht ausführen', 'Take the input and run the report'),
    (21295, 'Die Einstellungen dieses Dialogs für den Druck speichern', 'Save this dialog''s settings for printing')
ON CONFLICT (t_nr) DO NOTHING;
