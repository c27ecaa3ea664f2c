-- Soft links of the address module, and a few addresses without e-mail address, for which the
-- mail link stays disabled.
INSERT INTO tablefieldinfo (tablename, field, alias) VALUES ('adressen', '', 'Adressen')
ON CONFLICT DO NOTHING;
UPDATE adressen SET email = NULL WHERE dbrid % 10 = 0;

INSERT INTO softlink (slink_table, slink_type, slink_order, slink_bez, slink_app, slink_sql,
                      slink_cond) VALUES
    ('adressen', 'LINK', 1, 'E-Mail schreiben', NULL, 'mailto:<#email#>',
     '''<#email#>'' <> '''''),
    ('adressen', 'LINK', 2, 'Ort auf der Karte suchen', NULL,
     'https://www.openstreetmap.org/search?query=<#plz#> <#ort#>', NULL),
    ('adressen', 'EXEC', 3, 'E-Mail mit Betreff vorbereiten',
     '/usr/bin/xdg-email --subject "Ihre Adresse <#name#>" <#email#>', NULL,
     '''<#email#>'' <> ''''');

-- The module link names this installation's server.
INSERT INTO settings (s_name, s_value) VALUES ('ModulLink.ServerID', '1')
ON CONFLICT (s_name) DO NOTHING;
