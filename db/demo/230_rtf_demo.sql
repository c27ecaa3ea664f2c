-- Demo reports: one handing back plain SQL, one Python script that summarises the dialog's input
-- (the address list's dialog runs it), and one with a syntax error for the check of all scripts.
INSERT INTO rtf (rtf_id, rtf_name, rtf_blanksql, rtf_script) VALUES
(9001, 'Adressen als SQL', true,
$s$SELECT name, plz, ort FROM adressen ORDER BY name
$s$),
(9002, 'Adressliste', false,
$s$# Zusammenfassung der Eingaben des Dialogs
print("Adressliste fuer", firma or "(keine Firma)")
print("Stichtag:", stichtag if stichtag else "ohne")
print("Nur aktive:", "ja" if nuraktive else "nein")
print("Sortierung:", sortierung)
$s$),
(9003, 'Fehlerhaftes Skript', false,
$s$print("Klammer fehlt"
$s$)
ON CONFLICT (rtf_id) DO NOTHING;
