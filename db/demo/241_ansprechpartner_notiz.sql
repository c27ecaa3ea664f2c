-- Notes for every third contact person, some long enough to wrap in the preview.
UPDATE ansprechpartner
SET notiz = CASE dbrid % 3
    WHEN 0 THEN 'Bevorzugt Rückruf am Vormittag; Rechnungen bitte per E-Mail an die Buchhaltung.'
    WHEN 1 THEN 'Ansprechpartnerin für Rahmenverträge. Besuchstermine nur nach Absprache, '
                || 'Anfahrt über das Tor an der Nordseite, Parkplätze für Besucher sind '
                || 'ausgeschildert.'
    END
WHERE dbrid % 3 <> 2;

-- The contacts' global layout also counts them in the footer.
UPDATE grid_layouts
SET gl_layout = jsonb_set(jsonb_set(gl_layout::jsonb, '{footer}', 'true'),
                          '{summaries}', '{"nachname": 2}')::text
WHERE gl_formclass = 'TFormAdress' AND gl_grid = 'GridAnsprechpartner' AND gl_type = 2;
