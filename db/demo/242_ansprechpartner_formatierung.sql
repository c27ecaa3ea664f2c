-- The contacts' global layout marks the management and the birthdays before 1970.
UPDATE grid_layouts
SET gl_layout = jsonb_set(gl_layout::jsonb, '{conditionalFormatting}',
    '[{"field": "funktion", "op": "equal", "value1": "Geschäftsführung",
       "background": "#fff3c4", "textColor": "", "bold": true},
      {"field": "geburtstag", "op": "less", "value1": "01.01.1970",
       "background": "", "textColor": "#1f5fbf", "bold": false}]')::text
WHERE gl_formclass = 'TFormAdress' AND gl_grid = 'GridAnsprechpartner' AND gl_type = 2;
