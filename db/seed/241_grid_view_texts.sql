-- Texts of the grid menu's view items: group-by box, footer and preview.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (2893, 'Gruppierungsbereich', 'Group-by box'),
    (2894, 'Fußzeile mit Summen', 'Footer with sums'),
    (2895, 'Textvorschau', 'Text preview')
ON CONFLICT (t_nr) DO UPDATE SET t_feld0 = EXCLUDED.t_feld0, t_feld3 = EXCLUDED.t_feld3;
