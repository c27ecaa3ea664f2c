-- Notes for every third contact person, some long enough to wrap in the preview.
UPDATE ansprechpartner
SET notiz = CASE dbrid % 3
    WHEN 0 THEN 'Bevorzugt Rückruf am Vormittag; Rechnungen bitte per E-Mail an die Buchhaltung.'
    WHEN 1 THEN 'Ansprechpartnerin für Rahmenverträge. Besuchstermine nur nach Absprache, '
                || 'Anfahrt über das Tor an der Nordseite, Parkplätze für Besucher sind '
                || 'ausgeschildert.'
    END
WHERE dbrid % 3 <> 2;
