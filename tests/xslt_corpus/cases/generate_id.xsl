<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r>
<same><xsl:value-of select="generate-id(/) = generate-id(/)"/></same>
<differ><xsl:value-of select="generate-id(//book[1]) != generate-id(//book[2])"/></differ>
<empty><xsl:value-of select="generate-id(/nothing)"/></empty>
<name><xsl:value-of select="translate(substring(generate-id(//book[1]),1,1), 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz', '')"/></name>
<xsl:variable name="alnum" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789'"/>
<valid><xsl:value-of select="translate(generate-id(/), $alnum, '') = '' and translate(generate-id(//book[3]/@id), $alnum, '') = ''"/></valid>
</r></xsl:template>
</xsl:stylesheet>
