-- The demo hands mails over as drafts, in the house font, so that no mail account is needed.
INSERT INTO settings (s_name, s_value) VALUES
    ('MailSendMethod', '5'),
    ('Mail_FontFamily', 'DejaVu Sans'),
    ('Mail_FontSize', '10')
ON CONFLICT (s_name) DO NOTHING;
